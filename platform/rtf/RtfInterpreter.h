#pragma once

#include "RtfKeywords.h"
#include "RtfTokenizer.h"

#include <QHash>
#include <QRgb>
#include <QString>
#include <QTextListFormat>
#include <optional>
#include <vector>

namespace vnt::rtf::detail {

// Reader and writer agree on these units. Indents are kept in the document as pixels at
// 96 dpi, the resolution QTextDocument lays text out at, so a 1440-twip inch is 96 px.
constexpr double kTwipsPerPixel = 15.0;
// Bullets hang this far left of the text, as rich edit controls write them.
constexpr int kListIndentTwips = 360;

// "{\rtf" after optional white space.
bool looksLikeRtf(QStringView text);

struct RtfCharState
{
    int font = -1;       // font table number; -1: none
    int halfPoints = 0;  // 0: not given, the document's default size applies
    int foreground = -1; // colour table index; -1: automatic
    int background = -1; // colour table index; -1: none
    bool bold = false;
    bool italic = false;
    bool underline = false;
    bool strike = false;

    friend bool operator==(const RtfCharState&, const RtfCharState&) = default;
};

size_t qHash(const RtfCharState& state, size_t seed = 0) noexcept;

enum class RtfListKind : quint8 { None, Bullet, Numbered };

struct RtfListState
{
    RtfListKind kind = RtfListKind::None;
    QTextListFormat::Style numbering = QTextListFormat::ListDecimal;
    QString prefix; // \pntxtb of numbered lists
    QString suffix; // \pntxta of numbered lists

    friend bool operator==(const RtfListState&, const RtfListState&) = default;
};

enum class RtfAlignment : quint8 { Left, Center, Right, Justify };

// Indents and spacing in twips, as RTF gives them.
struct RtfParaState
{
    RtfAlignment alignment = RtfAlignment::Left;
    int leftIndent = 0;
    int rightIndent = 0;
    int firstIndent = 0;
    int spaceBefore = 0;
    int spaceAfter = 0;
    RtfListState list;
};

struct RtfFont
{
    QString face;
    bool symbol = false; // \fcharset2 or the Symbol font: \'hh are Symbol positions
};

struct RtfTables
{
    QHash<int, RtfFont> fonts;
    std::vector<std::optional<QRgb>> colours; // std::nullopt: the automatic colour
    int defaultFont = -1;
    // Changes whenever a table does, so that formats built from them can be rebuilt.
    int version = 0;

    const RtfFont* font(int number) const;
    std::optional<QRgb> colour(int index) const;
};

// Receives the document as the interpreter reads it.
class RtfSink
{
public:
    virtual ~RtfSink() = default;
    virtual void text(QStringView text, const RtfCharState& format) = 0;
    // \par: the paragraph ends, with these properties.
    virtual void paragraphEnd(const RtfParaState& paragraph) = 0;
    // End of input; `paragraph` holds the properties in effect for the text since the
    // last paragraph end.
    virtual void finish(const RtfParaState& paragraph) = 0;
};

// How raw characters above 127 are taken: as the Unicode characters they are, or as
// bytes of the document's code page (input read from 8-bit data as Latin-1).
enum class RtfInput : quint8 { Unicode, Bytes };

// The one RTF parser: groups, destinations, formatting state, code pages and Unicode
// escapes. Everything it does is linear in the input.
class RtfInterpreter
{
public:
    RtfInterpreter(QStringView rtf, RtfInput input, RtfTables& tables, RtfSink& sink);

    // Readers that draw lists themselves drop the marker text (\pntext, \listtext) of
    // list paragraphs; plain text has no lists and keeps it.
    void setKeepListMarkers(bool keep) { m_keepListMarkers = keep; }

    void run();

private:
    enum class Destination : quint8 {
        Body,
        Skip,
        FontTable,
        ColorTable,
        ListMarker,
        Pn,
        PnTextBefore,
        PnTextAfter,
    };

    struct Group
    {
        RtfCharState chars;
        RtfParaState para;
        Destination dest = Destination::Body;
        int ucSkip = 1;
    };

    Group& top() { return m_groups.back(); }
    bool handle(const RtfToken& token);
    void openGroup();
    bool closeGroup();
    void finish();

    void controlWord(const RtfToken& token);
    void controlSymbol(char16_t symbol);
    void hexByte(unsigned char byte);
    void unicode(int value);
    void textRun(const RtfToken& token);
    bool skipFallback();

    bool destinationWord(Keyword keyword);
    void fontTableWord(Keyword keyword, int param);
    void colourTableWord(Keyword keyword, int param);
    bool characterWord(Keyword keyword, const RtfToken& token);
    bool paragraphWord(Keyword keyword, int param);
    bool listWord(Keyword keyword, int param);

    void characters(QStringView text);
    void character(char16_t c) { characters(QStringView(&c, 1)); }
    void bodyText(QStringView text);
    void fontTableText(QStringView text);
    void colourTableText(QStringView text);
    void commitFont();
    void appendListMarker(QStringView text);
    void flushListMarker();
    void tablesChanging();
    bool inSymbolFont();

    RtfTokenizer m_tokenizer;
    RtfInput m_input;
    RtfTables& m_tables;
    RtfSink& m_sink;
    std::vector<Group> m_groups;
    int m_overflowDepth = 0; // groups opened beyond kMaxGroupDepth, read flat
    int m_fallbackLeft = 0;  // characters still to skip after \uN
    bool m_starPending = false;
    bool m_keepListMarkers = false;

    struct MarkerRun
    {
        RtfCharState format;
        QString text;
    };
    std::vector<MarkerRun> m_marker;

    int m_fontNumber = -1;
    bool m_fontSymbol = false;
    QString m_fontName;

    int m_red = 0;
    int m_green = 0;
    int m_blue = 0;
    bool m_colourGiven = false;

    QString m_decoded;
};

} // namespace vnt::rtf::detail
