#include "RtfReader.h"

#include "RtfInterpreter.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

namespace vnt::rtf {

namespace {

using namespace detail;

QTextCharFormat toCharFormat(const RtfCharState& state, const RtfTables& tables)
{
    QTextCharFormat format;
    if (const RtfFont* font = tables.font(state.font)) {
        format.setFontFamilies({font->face});
        // The single family too, for code that still asks for it.
        format.setProperty(QTextFormat::FontFamily, font->face);
    }
    if (state.halfPoints > 0)
        format.setFontPointSize(state.halfPoints / 2.0);
    if (state.bold)
        format.setFontWeight(QFont::Bold);
    if (state.italic)
        format.setFontItalic(true);
    if (state.underline)
        format.setFontUnderline(true);
    if (state.strike)
        format.setFontStrikeOut(true);
    if (const auto colour = tables.colour(state.foreground))
        format.setForeground(QColor(*colour));
    if (const auto colour = tables.colour(state.background))
        format.setBackground(QColor(*colour));
    return format;
}

QTextBlockFormat toBlockFormat(const RtfParaState& para)
{
    QTextBlockFormat format;
    switch (para.alignment) {
    case RtfAlignment::Center:
        format.setAlignment(Qt::AlignHCenter);
        break;
    case RtfAlignment::Right:
        format.setAlignment(Qt::AlignRight);
        break;
    case RtfAlignment::Justify:
        format.setAlignment(Qt::AlignJustify);
        break;
    case RtfAlignment::Left:
        break;
    }
    const auto pixels = [](int twips) {
        return twips / kTwipsPerPixel;
    };
    // A list draws its marker in its own indent, where RTF hangs it with a negative
    // first-line indent: the block's margin is where the marker starts.
    const bool listed = para.list.kind != RtfListKind::None;
    const int left = listed ? std::max(0, para.leftIndent + para.firstIndent) : para.leftIndent;
    const int first = listed ? 0 : para.firstIndent;
    if (left != 0)
        format.setLeftMargin(pixels(left));
    if (first != 0)
        format.setTextIndent(pixels(first));
    if (para.rightIndent != 0)
        format.setRightMargin(pixels(para.rightIndent));
    if (para.spaceBefore != 0)
        format.setTopMargin(pixels(para.spaceBefore));
    if (para.spaceAfter != 0)
        format.setBottomMargin(pixels(para.spaceAfter));
    return format;
}

QTextListFormat toListFormat(const RtfListState& list)
{
    QTextListFormat format;
    format.setIndent(1);
    if (list.kind == RtfListKind::Bullet) {
        format.setStyle(QTextListFormat::ListDisc);
        return format;
    }
    format.setStyle(list.numbering);
    if (!list.prefix.isEmpty())
        format.setNumberPrefix(list.prefix);
    if (!list.suffix.isEmpty())
        format.setNumberSuffix(list.suffix);
    return format;
}

// QTextList makes every block of a list dirty whenever one joins, so the cost of a list
// grows with the square of its length. Longer runs of items are split into lists of
// this many, which keeps hostile input linear; numbering restarts after it.
constexpr int kMaxListItems = 500;

// Builds the document through a cursor. Runs of text in one format go in with one
// insertText call, and a paragraph mark only becomes a new block when something follows
// it: the final \par that every writer puts before the closing brace ends the last
// paragraph instead of opening an empty one.
class DocumentBuilder : public RtfSink
{
public:
    DocumentBuilder(QTextCursor& cursor, const RtfTables& tables, bool formatFirstBlock)
        : m_cursor(cursor)
        , m_tables(tables)
        , m_formatFirstBlock(formatFirstBlock)
    {}

    void text(QStringView text, const RtfCharState& format) override
    {
        if (m_paragraphPending)
            startParagraph();
        // A run takes its format from the tables as they were when its text was decoded:
        // a font table given late must not turn text read as plain into a symbol font.
        if (m_pending.isEmpty() || !(format == m_pendingState) ||
            m_pendingVersion != m_tables.version) {
            flush();
            m_pendingState = format;
            m_pendingVersion = m_tables.version;
            m_pendingFormat = charFormat(format);
        }
        m_pending.append(text);
    }

    void paragraphEnd(const RtfParaState& paragraph) override
    {
        if (m_paragraphPending)
            startParagraph();
        flush();
        applyParagraph(paragraph);
        m_paragraphPending = true;
    }

    void finish(const RtfParaState& paragraph) override
    {
        flush();
        if (!m_paragraphPending)
            applyParagraph(paragraph);
    }

private:
    void startParagraph()
    {
        // A plain block: inheriting the list of the block before would cost a pass over
        // the list only to be undone when the paragraph's own format is set.
        m_cursor.insertBlock(QTextBlockFormat());
        m_paragraphPending = false;
        m_firstBlock = false;
    }

    void flush()
    {
        if (m_pending.isEmpty())
            return;
        m_cursor.insertText(m_pending, m_pendingFormat);
        m_pending.resize(0);
    }

    const QTextCharFormat& charFormat(const RtfCharState& state)
    {
        if (m_formatsVersion != m_tables.version) {
            m_formats.clear();
            m_formatsVersion = m_tables.version;
        }
        auto it = m_formats.find(state);
        if (it == m_formats.end())
            it = m_formats.insert(state, toCharFormat(state, m_tables));
        return *it;
    }

    void applyParagraph(const RtfParaState& paragraph)
    {
        if (m_firstBlock && !m_formatFirstBlock) {
            // A paste keeps the format of the paragraph it lands in.
            m_list = nullptr;
            return;
        }
        QTextBlockFormat format = toBlockFormat(paragraph);
        if (paragraph.list.kind == RtfListKind::None) {
            m_list = nullptr;
            m_cursor.setBlockFormat(format);
            return;
        }
        if (m_list && m_listState == paragraph.list && m_listItems < kMaxListItems) {
            format.setObjectIndex(m_list->objectIndex());
            m_cursor.setBlockFormat(format);
            ++m_listItems;
            return;
        }
        m_cursor.setBlockFormat(format);
        m_list = m_cursor.createList(toListFormat(paragraph.list));
        m_listState = paragraph.list;
        m_listItems = 1;
    }

    QTextCursor& m_cursor;
    const RtfTables& m_tables;
    const bool m_formatFirstBlock;
    bool m_firstBlock = true;
    bool m_paragraphPending = false;
    QString m_pending;
    RtfCharState m_pendingState;
    int m_pendingVersion = -1;
    QTextCharFormat m_pendingFormat;
    QHash<RtfCharState, QTextCharFormat> m_formats;
    int m_formatsVersion = -1;
    QTextList* m_list = nullptr;
    RtfListState m_listState;
    int m_listItems = 0;
};

void build(QStringView rtf, RtfInput input, QTextCursor& cursor, bool formatFirstBlock)
{
    RtfTables tables;
    DocumentBuilder builder(cursor, tables, formatFirstBlock);
    RtfInterpreter interpreter(rtf, input, tables, builder);
    interpreter.run();
}

bool readDocument(QStringView rtf, RtfInput input, QTextDocument* document)
{
    if (!document || !looksLikeRtf(rtf))
        return false;
    // Undo records of a whole document would only cost time and memory.
    const bool undo = document->isUndoRedoEnabled();
    document->setUndoRedoEnabled(false);
    document->clear();
    QTextCursor cursor(document);
    cursor.beginEditBlock();
    build(rtf, input, cursor, true);
    cursor.endEditBlock();
    document->setUndoRedoEnabled(undo);
    return true;
}

} // namespace

bool readRtf(QStringView rtf, QTextDocument* document)
{
    return readDocument(rtf, RtfInput::Unicode, document);
}

bool readRtf(const QByteArray& rtf, QTextDocument* document)
{
    const QString text = QString::fromLatin1(rtf);
    return readDocument(text, RtfInput::Bytes, document);
}

bool insertRtf(QStringView rtf, QTextCursor& cursor)
{
    if (cursor.isNull() || !looksLikeRtf(rtf))
        return false;
    // Undo stays on: a paste is one step the user can take back.
    cursor.beginEditBlock();
    cursor.removeSelectedText();
    const bool emptyBlock = cursor.block().length() == 1;
    build(rtf, RtfInput::Unicode, cursor, emptyBlock);
    cursor.endEditBlock();
    return true;
}

} // namespace vnt::rtf
