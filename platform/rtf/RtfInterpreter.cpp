#include "RtfInterpreter.h"

#include "RtfCharsets.h"
#include "RtfReader.h"

#include <algorithm>
#include <utility>

namespace vnt::rtf::detail {

namespace {

// Indents beyond 22 inches are damaged or hostile numbers.
constexpr int kMaxTwips = 31680;
// A few characters of list prefix or suffix are all any writer uses.
constexpr qsizetype kMaxListAffix = 32;
constexpr qsizetype kMaxFontName = 256;
constexpr size_t kMaxColours = 0x10000;
// \ucN counts the bytes of a fallback; real writers use 0 to 2.
constexpr int kMaxUcSkip = 16;

int twips(int param)
{
    return std::clamp(param, -kMaxTwips, kMaxTwips);
}

bool switchedOn(const RtfToken& token)
{
    return !token.hasParam || token.param != 0;
}

void appendCapped(QString& target, QStringView text, qsizetype cap)
{
    target.append(text.first(std::min(text.size(), std::max<qsizetype>(0, cap - target.size()))));
}

} // namespace

bool looksLikeRtf(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i].isSpace() || text[i] == QChar::ByteOrderMark))
        ++i;
    return text.sliced(i).startsWith(u"{\\rtf");
}

size_t qHash(const RtfCharState& s, size_t seed) noexcept
{
    const int flags =
        int(s.bold) | (int(s.italic) << 1) | (int(s.underline) << 2) | (int(s.strike) << 3);
    return qHashMulti(seed, s.font, s.halfPoints, s.foreground, s.background, flags);
}

const RtfFont* RtfTables::font(int number) const
{
    const auto it = fonts.constFind(number);
    return it == fonts.constEnd() ? nullptr : &*it;
}

std::optional<QRgb> RtfTables::colour(int index) const
{
    if (index < 0 || static_cast<size_t>(index) >= colours.size())
        return std::nullopt;
    return colours[static_cast<size_t>(index)];
}

RtfInterpreter::RtfInterpreter(QStringView rtf, RtfInput input, RtfTables& tables, RtfSink& sink)
    : m_tokenizer(rtf)
    , m_input(input)
    , m_tables(tables)
    , m_sink(sink)
{
    m_groups.reserve(64);
}

void RtfInterpreter::run()
{
    for (;;) {
        const RtfToken token = m_tokenizer.next();
        if (token.type == RtfTokenType::End) {
            finish();
            return;
        }
        if (!handle(token))
            return;
    }
}

bool RtfInterpreter::handle(const RtfToken& token)
{
    if (m_groups.empty()) {
        // Nothing counts before the document's opening brace.
        if (token.type == RtfTokenType::GroupOpen)
            m_groups.emplace_back();
        return true;
    }
    if (m_starPending && token.type != RtfTokenType::ControlWord) {
        m_starPending = false;
        top().dest = Destination::Skip;
    }
    switch (token.type) {
    case RtfTokenType::GroupOpen:
        openGroup();
        return true;
    case RtfTokenType::GroupClose:
        return closeGroup();
    case RtfTokenType::ControlWord:
        controlWord(token);
        return true;
    case RtfTokenType::ControlSymbol:
        controlSymbol(token.symbol);
        return true;
    case RtfTokenType::HexByte:
        hexByte(static_cast<unsigned char>(token.symbol));
        return true;
    case RtfTokenType::Text:
        textRun(token);
        return true;
    case RtfTokenType::End:
        break;
    }
    return false;
}

void RtfInterpreter::openGroup()
{
    m_fallbackLeft = 0;
    if (m_groups.size() >= static_cast<size_t>(kMaxGroupDepth)) {
        ++m_overflowDepth;
        return;
    }
    Group copy = top();
    m_groups.push_back(std::move(copy));
}

bool RtfInterpreter::closeGroup()
{
    m_fallbackLeft = 0;
    if (m_overflowDepth > 0) {
        --m_overflowDepth;
        return true;
    }
    if (m_groups.size() == 1) {
        // The document's closing brace: whatever follows it is not RTF.
        finish();
        return false;
    }
    Group closed = std::move(m_groups.back());
    m_groups.pop_back();
    switch (closed.dest) {
    case Destination::FontTable:
        commitFont();
        break;
    case Destination::Pn:
    case Destination::PnTextBefore:
    case Destination::PnTextAfter:
        // The numbering group describes the paragraph it stands in.
        top().para.list = std::move(closed.para.list);
        break;
    default:
        break;
    }
    return true;
}

void RtfInterpreter::finish()
{
    if (m_groups.empty()) {
        m_sink.finish(RtfParaState());
        return;
    }
    flushListMarker();
    m_sink.finish(top().para);
}

bool RtfInterpreter::skipFallback()
{
    if (m_fallbackLeft == 0)
        return false;
    --m_fallbackLeft;
    return true;
}

void RtfInterpreter::controlWord(const RtfToken& token)
{
    const bool starred = std::exchange(m_starPending, false);
    // A control word ends the fallback of \uN, so that a writer that left the fallback
    // out loses no formatting.
    m_fallbackLeft = 0;
    Group& group = top();
    if (group.dest == Destination::Skip)
        return;
    const KeywordInfo info = lookupKeyword(token.text);
    if (starred && info.keyword != Keyword::Pn) {
        group.dest = Destination::Skip;
        return;
    }
    const int param = token.hasParam ? token.param : 0;
    if (group.dest == Destination::FontTable) {
        fontTableWord(info.keyword, param);
        return;
    }
    if (group.dest == Destination::ColorTable) {
        colourTableWord(info.keyword, param);
        return;
    }
    if (destinationWord(info.keyword) || characterWord(info.keyword, token) ||
        paragraphWord(info.keyword, param) || listWord(info.keyword, param))
        return;
    if (info.keyword == Keyword::Character)
        character(info.character);
}

void RtfInterpreter::controlSymbol(char16_t symbol)
{
    m_fallbackLeft = 0;
    switch (symbol) {
    case '*':
        m_starPending = true;
        break;
    case '~':
        character(0x00A0);
        break;
    case '_':
        character(0x2011);
        break;
    case '{':
    case '}':
    case '\\':
        character(symbol);
        break;
    default:
        // \- (optional hyphen), index marks and unknown symbols carry no text.
        break;
    }
}

void RtfInterpreter::hexByte(unsigned char byte)
{
    if (skipFallback())
        return;
    const char16_t c = decodeByte(byte, inSymbolFont());
    if (isDocumentChar(c))
        character(c);
}

void RtfInterpreter::unicode(int value)
{
    // \uN is a signed 16-bit number: characters above U+7FFF are written negative.
    const int code = value < 0 ? value + 0x10000 : value;
    char16_t c = code >= 0 && code <= 0xFFFF ? static_cast<char16_t>(code) : char16_t(0xFFFD);
    // Word writes Symbol font characters at U+F020..U+F0FF.
    if (c >= 0xF020 && c <= 0xF0FF && inSymbolFont())
        c = decodeByte(static_cast<unsigned char>(c - 0xF000), true);
    if (isDocumentChar(c))
        character(c);
    m_fallbackLeft = top().ucSkip;
}

void RtfInterpreter::textRun(const RtfToken& token)
{
    QStringView text = token.text;
    if (m_fallbackLeft > 0) {
        const qsizetype skipped = std::min<qsizetype>(m_fallbackLeft, text.size());
        text = text.sliced(skipped);
        m_fallbackLeft -= static_cast<int>(skipped);
    }
    if (text.isEmpty() || top().dest == Destination::Skip)
        return;
    if (m_input == RtfInput::Unicode || !token.hasHighChars) {
        characters(text);
        return;
    }
    const bool symbol = inSymbolFont();
    m_decoded.resize(0);
    for (const QChar c : text) {
        const char16_t u = c.unicode() < 0x80
                               ? c.unicode()
                               : decodeByte(static_cast<unsigned char>(c.unicode()), symbol);
        if (isDocumentChar(u))
            m_decoded.append(QChar(u));
    }
    characters(m_decoded);
}

bool RtfInterpreter::destinationWord(Keyword keyword)
{
    Group& group = top();
    switch (keyword) {
    case Keyword::SkipDestination:
        group.dest = Destination::Skip;
        return true;
    case Keyword::FontTable:
        group.dest = Destination::FontTable;
        m_fontNumber = -1;
        m_fontName.clear();
        return true;
    case Keyword::ColorTable:
        group.dest = Destination::ColorTable;
        tablesChanging();
        m_tables.colours.clear();
        m_colourGiven = false;
        return true;
    case Keyword::ListMarker:
        group.dest = Destination::ListMarker;
        return true;
    case Keyword::Pn:
        group.dest = Destination::Pn;
        group.para.list = RtfListState();
        return true;
    case Keyword::PnTextBefore:
        group.dest = Destination::PnTextBefore;
        group.para.list.prefix.clear();
        return true;
    case Keyword::PnTextAfter:
        group.dest = Destination::PnTextAfter;
        group.para.list.suffix.clear();
        return true;
    default:
        return false;
    }
}

void RtfInterpreter::fontTableWord(Keyword keyword, int param)
{
    if (keyword == Keyword::Font) {
        commitFont();
        m_fontNumber = param;
        m_fontSymbol = false;
    } else if (keyword == Keyword::FontCharset) {
        m_fontSymbol = param == 2;
    } else if (keyword == Keyword::U) {
        unicode(param);
    }
}

void RtfInterpreter::colourTableWord(Keyword keyword, int param)
{
    int* component = keyword == Keyword::Red     ? &m_red
                     : keyword == Keyword::Green ? &m_green
                     : keyword == Keyword::Blue  ? &m_blue
                                                 : nullptr;
    if (!component)
        return;
    *component = std::clamp(param, 0, 255);
    m_colourGiven = true;
}

bool RtfInterpreter::characterWord(Keyword keyword, const RtfToken& token)
{
    RtfCharState& chars = top().chars;
    const int param = token.hasParam ? token.param : 0;
    switch (keyword) {
    case Keyword::Plain:
        chars = RtfCharState();
        chars.font = m_tables.defaultFont;
        return true;
    case Keyword::DefaultFont:
        m_tables.defaultFont = param;
        if (chars.font < 0)
            chars.font = param;
        return true;
    case Keyword::Font:
        chars.font = param;
        return true;
    case Keyword::FontSize: {
        const int size = token.hasParam ? param : 24;
        chars.halfPoints = size <= 0 ? 0 : std::clamp(size, 2, 3276);
        return true;
    }
    case Keyword::Bold:
        chars.bold = switchedOn(token);
        return true;
    case Keyword::Italic:
        chars.italic = switchedOn(token);
        return true;
    case Keyword::Underline:
        chars.underline = switchedOn(token);
        return true;
    case Keyword::UnderlineNone:
        chars.underline = false;
        return true;
    case Keyword::Strike:
        chars.strike = switchedOn(token);
        return true;
    case Keyword::Foreground:
        chars.foreground = param;
        return true;
    case Keyword::Background:
        chars.background = param;
        return true;
    case Keyword::Uc:
        top().ucSkip = std::clamp(token.hasParam ? param : 1, 0, kMaxUcSkip);
        return true;
    case Keyword::U:
        if (token.hasParam)
            unicode(param);
        return true;
    default:
        return false;
    }
}

bool RtfInterpreter::paragraphWord(Keyword keyword, int param)
{
    RtfParaState& para = top().para;
    switch (keyword) {
    case Keyword::Par:
        if (top().dest == Destination::Body) {
            flushListMarker();
            m_sink.paragraphEnd(para);
        }
        return true;
    case Keyword::Pard:
        para = RtfParaState();
        return true;
    case Keyword::AlignLeft:
        para.alignment = RtfAlignment::Left;
        return true;
    case Keyword::AlignCenter:
        para.alignment = RtfAlignment::Center;
        return true;
    case Keyword::AlignRight:
        para.alignment = RtfAlignment::Right;
        return true;
    case Keyword::AlignJustify:
        para.alignment = RtfAlignment::Justify;
        return true;
    case Keyword::LeftIndent:
        para.leftIndent = twips(param);
        return true;
    case Keyword::RightIndent:
        para.rightIndent = twips(param);
        return true;
    case Keyword::FirstIndent:
        para.firstIndent = twips(param);
        return true;
    case Keyword::SpaceBefore:
        para.spaceBefore = twips(param);
        return true;
    case Keyword::SpaceAfter:
        para.spaceAfter = twips(param);
        return true;
    default:
        return false;
    }
}

bool RtfInterpreter::listWord(Keyword keyword, int param)
{
    RtfListState& list = top().para.list;
    const auto numbered = [&list](QTextListFormat::Style style) {
        list.kind = RtfListKind::Numbered;
        list.numbering = style;
    };
    switch (keyword) {
    case Keyword::PnBullet:
        list.kind = RtfListKind::Bullet;
        return true;
    case Keyword::PnBody:
        list.kind = RtfListKind::Numbered;
        return true;
    case Keyword::PnLevel:
        // Outline levels are read as plain numbering.
        if (param > 0)
            list.kind = RtfListKind::Numbered;
        return true;
    case Keyword::PnDecimal:
        numbered(QTextListFormat::ListDecimal);
        return true;
    case Keyword::PnUpperLetter:
        numbered(QTextListFormat::ListUpperAlpha);
        return true;
    case Keyword::PnLowerLetter:
        numbered(QTextListFormat::ListLowerAlpha);
        return true;
    case Keyword::PnUpperRoman:
        numbered(QTextListFormat::ListUpperRoman);
        return true;
    case Keyword::PnLowerRoman:
        numbered(QTextListFormat::ListLowerRoman);
        return true;
    default:
        return false;
    }
}

void RtfInterpreter::characters(QStringView text)
{
    Group& group = top();
    switch (group.dest) {
    case Destination::Body:
        bodyText(text);
        break;
    case Destination::ListMarker:
        appendListMarker(text);
        break;
    case Destination::FontTable:
        fontTableText(text);
        break;
    case Destination::ColorTable:
        colourTableText(text);
        break;
    case Destination::PnTextBefore:
        appendCapped(group.para.list.prefix, text, kMaxListAffix);
        break;
    case Destination::PnTextAfter:
        appendCapped(group.para.list.suffix, text, kMaxListAffix);
        break;
    case Destination::Pn:
    case Destination::Skip:
        break;
    }
}

void RtfInterpreter::bodyText(QStringView text)
{
    flushListMarker();
    m_sink.text(text, top().chars);
}

void RtfInterpreter::fontTableText(QStringView text)
{
    for (const QChar c : text) {
        if (c == u';')
            commitFont();
        else if (m_fontName.size() < kMaxFontName)
            m_fontName.append(c);
    }
}

void RtfInterpreter::colourTableText(QStringView text)
{
    for (const QChar c : text) {
        if (c != u';' || m_tables.colours.size() >= kMaxColours)
            continue;
        tablesChanging();
        // An entry with no components is the automatic colour.
        if (m_colourGiven)
            m_tables.colours.push_back(qRgb(m_red, m_green, m_blue));
        else
            m_tables.colours.push_back(std::nullopt);
        m_red = m_green = m_blue = 0;
        m_colourGiven = false;
    }
}

void RtfInterpreter::commitFont()
{
    const QString face = m_fontName.trimmed();
    m_fontName.clear();
    if (face.isEmpty() || m_fontNumber < 0)
        return;
    const bool symbol = m_fontSymbol || face.compare(u"Symbol", Qt::CaseInsensitive) == 0;
    tablesChanging();
    m_tables.fonts.insert(m_fontNumber, RtfFont{face, symbol});
    m_fontNumber = -1;
}

void RtfInterpreter::appendListMarker(QStringView text)
{
    const RtfCharState& format = top().chars;
    if (m_marker.empty() || !(m_marker.back().format == format))
        m_marker.push_back({format, QString()});
    m_marker.back().text.append(text);
}

void RtfInterpreter::flushListMarker()
{
    if (m_marker.empty())
        return;
    // The marker comes before the numbering group in most writers' output, so whether
    // the paragraph is a list item is only known once its text starts or it ends.
    if (m_keepListMarkers || top().para.list.kind == RtfListKind::None) {
        for (const MarkerRun& run : m_marker)
            m_sink.text(run.text, run.format);
    }
    m_marker.clear();
}

void RtfInterpreter::tablesChanging()
{
    // Text decoded with the old tables must be formatted with them too.
    flushListMarker();
    ++m_tables.version;
}

bool RtfInterpreter::inSymbolFont()
{
    const Destination dest = top().dest;
    if (dest != Destination::Body && dest != Destination::ListMarker)
        return false;
    const RtfFont* font = m_tables.font(top().chars.font);
    return font && font->symbol;
}

} // namespace vnt::rtf::detail
