#include "RtfWriter.h"

#include "RtfInterpreter.h"
#include "RtfOutput.h"

#include <QHash>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <cmath>

namespace vnt::rtf {

namespace {

using namespace detail;

constexpr int kAutoColour = 0;

// The character format of a run as RTF numbers it. The writer starts each document
// from "unknown" so that the first run states its font and size.
struct RunFormat
{
    int font = -1;
    int halfPoints = -1;
    int foreground = kAutoColour;
    int background = kAutoColour;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;
};

int toTwips(qreal pixels)
{
    return static_cast<int>(std::lround(pixels * kTwipsPerPixel));
}

bool isBulletStyle(QTextListFormat::Style style)
{
    return style == QTextListFormat::ListDisc || style == QTextListFormat::ListCircle ||
           style == QTextListFormat::ListSquare || style == QTextListFormat::ListStyleUndefined;
}

const char* numberingWord(QTextListFormat::Style style)
{
    switch (style) {
    case QTextListFormat::ListLowerAlpha:
        return "pnlcltr";
    case QTextListFormat::ListUpperAlpha:
        return "pnucltr";
    case QTextListFormat::ListLowerRoman:
        return "pnlcrm";
    case QTextListFormat::ListUpperRoman:
        return "pnucrm";
    default:
        return "pndec";
    }
}

// Writes the characters [start, end) of a document. Runs without a font or size of their
// own are written in the document's default font, so other programs show them as this
// one does.
class RtfWriter
{
public:
    RtfWriter(const QTextDocument& document, int start, int end)
        : m_document(document)
        , m_defaultFont(document.defaultFont())
        , m_start(start)
        , m_end(end)
    {}

    QString write();

private:
    template<typename Visit>
    void forEachBlock(Visit visit) const;
    template<typename Visit>
    void forEachRun(const QTextBlock& block, Visit visit) const;

    void collectTables();
    int fontIndex(const QString& face, bool symbol = false);
    int colourIndex(const QBrush& brush);
    QString familyOf(const QTextCharFormat& format) const;
    int halfPointsOf(const QTextCharFormat& format) const;
    RunFormat runFormat(const QTextCharFormat& format) const;

    void writeHeader();
    void writeBlock(const QTextBlock& block);
    void writeParagraphFormat(const QTextBlock& block);
    void writeListMarker(const QTextBlock& block);
    void writeRun(const QTextCharFormat& format, QStringView text);

    const QTextDocument& m_document;
    const QFont m_defaultFont;
    const int m_start;
    const int m_end;
    QStringList m_fonts;
    QHash<QString, int> m_fontIndexes;
    int m_symbolFont = -1;
    QList<QRgb> m_colours;
    QHash<QRgb, int> m_colourIndexes;
    RtfOutput m_out;
    RunFormat m_current;
};

template<typename Visit>
void RtfWriter::forEachBlock(Visit visit) const
{
    if (m_start >= m_end)
        return;
    for (QTextBlock block = m_document.findBlock(m_start);
         block.isValid() && block.position() <= m_end; block = block.next())
        visit(block);
}

template<typename Visit>
void RtfWriter::forEachRun(const QTextBlock& block, Visit visit) const
{
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const int from = std::max(fragment.position(), m_start);
        const int to = std::min(fragment.position() + fragment.length(), m_end);
        if (from < to)
            visit(fragment.charFormat(),
                  QStringView(fragment.text()).sliced(from - fragment.position(), to - from));
    }
}

QString RtfWriter::write()
{
    collectTables();
    writeHeader();
    forEachBlock([this](const QTextBlock& block) { writeBlock(block); });
    m_out.raw("}");
    return m_out.text();
}

void RtfWriter::collectTables()
{
    bool bullets = false;
    forEachBlock([this, &bullets](const QTextBlock& block) {
        forEachRun(block, [this](const QTextCharFormat& format, QStringView) {
            fontIndex(familyOf(format));
            colourIndex(format.foreground());
            colourIndex(format.background());
        });
        if (const QTextList* list = block.textList()) {
            if (isBulletStyle(list->format().style()))
                bullets = true;
            else
                fontIndex(familyOf(block.charFormat()));
        }
    });
    // Last, so that the default font \f0 is a text font.
    if (bullets)
        fontIndex(QStringLiteral("Symbol"), true);
}

int RtfWriter::fontIndex(const QString& face, bool symbol)
{
    const auto it = m_fontIndexes.constFind(face);
    if (it != m_fontIndexes.constEnd())
        return *it;
    const int index = static_cast<int>(m_fonts.size());
    m_fonts.append(face);
    m_fontIndexes.insert(face, index);
    if (symbol || face.compare(u"Symbol", Qt::CaseInsensitive) == 0)
        m_symbolFont = index;
    return index;
}

int RtfWriter::colourIndex(const QBrush& brush)
{
    if (brush.style() == Qt::NoBrush)
        return kAutoColour;
    const QRgb rgb = brush.color().rgb();
    const auto it = m_colourIndexes.constFind(rgb);
    if (it != m_colourIndexes.constEnd())
        return *it;
    m_colours.append(rgb);
    // Entry 0 is the automatic colour.
    const int index = static_cast<int>(m_colours.size());
    m_colourIndexes.insert(rgb, index);
    return index;
}

QString RtfWriter::familyOf(const QTextCharFormat& format) const
{
    const QStringList families = format.fontFamilies().toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        return families.first();
    const QString family = format.stringProperty(QTextFormat::FontFamily);
    if (!family.isEmpty())
        return family;
    return m_defaultFont.family();
}

int RtfWriter::halfPointsOf(const QTextCharFormat& format) const
{
    qreal points = 0;
    if (format.hasProperty(QTextFormat::FontPointSize))
        points = format.fontPointSize();
    else if (format.hasProperty(QTextFormat::FontPixelSize))
        points = format.intProperty(QTextFormat::FontPixelSize) * 0.75;
    else if (m_defaultFont.pointSizeF() > 0)
        points = m_defaultFont.pointSizeF();
    else if (m_defaultFont.pixelSize() > 0)
        points = m_defaultFont.pixelSize() * 0.75;
    if (points <= 0)
        points = 12;
    return std::clamp(static_cast<int>(std::lround(points * 2)), 2, 3276);
}

RunFormat RtfWriter::runFormat(const QTextCharFormat& format) const
{
    RunFormat run;
    run.font = m_fontIndexes.value(familyOf(format));
    run.halfPoints = halfPointsOf(format);
    run.bold = format.fontWeight() > QFont::Medium;
    run.italic = format.fontItalic();
    const auto underline = format.underlineStyle();
    run.underline = underline != QTextCharFormat::NoUnderline &&
                    underline != QTextCharFormat::SpellCheckUnderline;
    run.strike = format.fontStrikeOut();
    const auto colour = [this](const QBrush& brush) {
        return brush.style() == Qt::NoBrush ? kAutoColour
                                            : m_colourIndexes.value(brush.color().rgb());
    };
    run.foreground = colour(format.foreground());
    run.background = colour(format.background());
    return run;
}

void RtfWriter::writeHeader()
{
    m_out.raw("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl");
    for (qsizetype i = 0; i < m_fonts.size(); ++i) {
        m_out.raw("{");
        m_out.word("f", static_cast<int>(i));
        m_out.word("fnil");
        m_out.word("fcharset", i == m_symbolFont ? 2 : 0);
        m_out.text(QString(m_fonts[i]).remove(u';'));
        m_out.raw(";}");
    }
    m_out.raw("}");
    m_out.lineEnd();
    m_out.raw("{\\colortbl ;");
    for (const QRgb rgb : std::as_const(m_colours)) {
        m_out.word("red", qRed(rgb));
        m_out.word("green", qGreen(rgb));
        m_out.word("blue", qBlue(rgb));
        m_out.raw(";");
    }
    m_out.raw("}");
    m_out.lineEnd();
    m_out.word("viewkind", 4);
    m_out.word("uc", 1);
}

void RtfWriter::writeBlock(const QTextBlock& block)
{
    m_out.word("pard");
    writeListMarker(block);
    writeParagraphFormat(block);
    forEachRun(block,
               [this](const QTextCharFormat& format, QStringView text) { writeRun(format, text); });
    m_out.word("par");
    m_out.lineEnd();
}

void RtfWriter::writeListMarker(const QTextBlock& block)
{
    const QTextList* list = block.textList();
    if (!list)
        return;
    const QTextListFormat format = list->format();
    if (isBulletStyle(format.style())) {
        m_out.raw("{\\pntext");
        m_out.word("f", m_symbolFont);
        m_out.raw("\\'B7\\tab}{\\*\\pn\\pnlvlblt");
        m_out.word("pnf", m_symbolFont);
        m_out.raw("\\pnindent0{\\pntxtb\\'B7}}");
        return;
    }
    const int font = m_fontIndexes.value(familyOf(block.charFormat()));
    m_out.raw("{\\pntext");
    m_out.word("f", font);
    m_out.text(list->itemText(block));
    m_out.raw("\\tab}{\\*\\pn\\pnlvlbody");
    m_out.word("pnf", font);
    m_out.raw("\\pnindent0\\pnstart1");
    m_out.word(numberingWord(format.style()));
    if (!format.numberPrefix().isEmpty()) {
        m_out.raw("{\\pntxtb ");
        m_out.text(format.numberPrefix());
        m_out.raw("}");
    }
    // Lists that never set a suffix show the default ".".
    m_out.raw("{\\pntxta ");
    m_out.text(format.hasProperty(QTextFormat::ListNumberSuffix) ? format.numberSuffix()
                                                                 : QStringLiteral("."));
    m_out.raw("}}");
}

void RtfWriter::writeParagraphFormat(const QTextBlock& block)
{
    const QTextBlockFormat format = block.blockFormat();
    const Qt::Alignment alignment = format.alignment() & Qt::AlignHorizontal_Mask;
    if (alignment & Qt::AlignJustify)
        m_out.word("qj");
    else if (alignment & Qt::AlignHCenter)
        m_out.word("qc");
    else if (alignment & Qt::AlignRight)
        m_out.word("qr");

    const qreal indentWidth = m_document.indentWidth();
    int left = toTwips(format.leftMargin() + format.indent() * indentWidth);
    int first = toTwips(format.textIndent());
    if (const QTextList* list = block.textList()) {
        // The marker hangs in the first-line indent, the text starts one step in.
        left = toTwips(format.leftMargin() + (list->format().indent() - 1) * indentWidth) +
               kListIndentTwips;
        first = -kListIndentTwips;
    }
    const auto twipsWord = [this](const char* name, int twips) {
        if (twips != 0)
            m_out.word(name, twips);
    };
    twipsWord("fi", first);
    twipsWord("li", left);
    twipsWord("ri", toTwips(format.rightMargin()));
    twipsWord("sb", toTwips(format.topMargin()));
    twipsWord("sa", toTwips(format.bottomMargin()));
}

void RtfWriter::writeRun(const QTextCharFormat& format, QStringView text)
{
    const RunFormat next = runFormat(format);
    if (next.font != m_current.font)
        m_out.word("f", next.font);
    if (next.halfPoints != m_current.halfPoints)
        m_out.word("fs", next.halfPoints);
    if (next.bold != m_current.bold)
        m_out.word(next.bold ? "b" : "b0");
    if (next.italic != m_current.italic)
        m_out.word(next.italic ? "i" : "i0");
    if (next.underline != m_current.underline)
        m_out.word(next.underline ? "ul" : "ulnone");
    if (next.strike != m_current.strike)
        m_out.word(next.strike ? "strike" : "strike0");
    if (next.foreground != m_current.foreground)
        m_out.word("cf", next.foreground);
    // Rich edit controls write a background colour as \highlight; the reader takes \cb
    // and \chcbpat too.
    if (next.background != m_current.background)
        m_out.word("highlight", next.background);
    m_current = next;
    m_out.text(text);
}

} // namespace

QString writeRtf(const QTextDocument& document)
{
    const QTextBlock last = document.lastBlock();
    return RtfWriter(document, 0, last.position() + last.length() - 1).write();
}

QString writeRtf(const QTextCursor& selection)
{
    const QTextDocument* document = selection.document();
    if (!document)
        return RtfWriter(QTextDocument(), 0, 0).write();
    return RtfWriter(*document, selection.selectionStart(), selection.selectionEnd()).write();
}

} // namespace vnt::rtf
