#include "CTextBox.h"

#include <QContextMenuEvent>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMenu>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <cmath>
#include <functional>
#include <optional>

namespace {

constexpr int kMinWrapLength = 32;
constexpr int kMaxWrapLength = 131;
constexpr int kDefaultWrapLength = 76;
constexpr int kMinFontSize = 8;
constexpr int kMaxFontSize = 36;
constexpr int kDefaultFontSize = 10;
constexpr double kTwipsPerPoint = 20.0;
constexpr double kPointsPerInch = 72.0;
constexpr double kTwipsPerInch = 1440.0;

// Calls `visit` with the format of every piece of text in the selection, or with the
// typing format when nothing is selected.
void forEachSelectedFormat(const QTextEdit& edit,
                           const std::function<void(const QTextCharFormat&)>& visit)
{
    const QTextCursor cursor = edit.textCursor();
    if (!cursor.hasSelection()) {
        visit(edit.currentCharFormat());
        return;
    }
    const int start = cursor.selectionStart();
    const int end = cursor.selectionEnd();
    for (QTextBlock block = edit.document()->findBlock(start);
         block.isValid() && block.position() < end; block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (fragment.position() + fragment.length() <= start || fragment.position() >= end)
                continue;
            visit(fragment.charFormat());
        }
    }
}

template<typename T>
std::optional<T> uniformValue(const QTextEdit& edit,
                              const std::function<T(const QTextCharFormat&)>& value)
{
    std::optional<T> result;
    bool mixed = false;
    forEachSelectedFormat(edit, [&](const QTextCharFormat& format) {
        const T v = value(format);
        if (result && *result != v)
            mixed = true;
        result = v;
    });
    return mixed ? std::nullopt : result;
}

// Blocks touched by the selection (the caret's block when nothing is selected).
QList<QTextBlock> selectedBlocks(const QTextEdit& edit)
{
    const QTextCursor cursor = edit.textCursor();
    QList<QTextBlock> blocks;
    const QTextBlock last = edit.document()->findBlock(cursor.selectionEnd());
    for (QTextBlock block = edit.document()->findBlock(cursor.selectionStart()); block.isValid();
         block = block.next()) {
        blocks.append(block);
        if (block == last)
            break;
    }
    return blocks;
}

bool effectOf(const QTextCharFormat& format, int property)
{
    switch (property) {
    case QTextFormat::FontWeight:
        return format.fontWeight() > QFont::Normal;
    case QTextFormat::FontUnderline:
        return format.fontUnderline();
    default:
        return format.boolProperty(property);
    }
}

void setEffectOn(QTextCharFormat& format, int property, bool on)
{
    switch (property) {
    case QTextFormat::FontWeight:
        format.setFontWeight(on ? QFont::Bold : QFont::Normal);
        break;
    case QTextFormat::FontUnderline:
        format.setFontUnderline(on);
        break;
    default:
        format.setProperty(property, on);
        break;
    }
}

Qt::Alignment qtAlignment(int alignment)
{
    switch (alignment) {
    case CTextBox::AlignCentre:
        return Qt::AlignHCenter;
    case CTextBox::AlignRight:
        return Qt::AlignRight;
    case CTextBox::AlignJustify:
        return Qt::AlignJustify;
    default:
        return Qt::AlignLeft;
    }
}

} // namespace

int fixedLineWidthTwips(int wrapLength, double averageCharWidth, double pixelsPerInch,
                        int clientWidth, int tabIndex)
{
    const double twipsPerPixel = kPointsPerInch / pixelsPerInch * kTwipsPerPoint;
    const int limit = int(std::trunc(clientWidth * twipsPerPixel)) - 20;
    const float charWidth = float(averageCharWidth * twipsPerPixel);
    int lineWidth = int(std::trunc(wrapLength * double(charWidth)));
    if (tabIndex != CTextBox::kCreateReplyTab && lineWidth > limit)
        lineWidth = limit;
    return lineWidth;
}

CTextBox::CTextBox(QWidget* parent)
    : QTextEdit(parent)
{
    setFont(textBoxBaseFont());
    setAcceptRichText(true);
    setTabChangesFocus(false);
    SetBackColour(m_backColour);
    connect(document(), &QTextDocument::contentsChange, this,
            [this](int position, int, int added) { enforceLimit(position, added); });
}

void CTextBox::setTextLimit(int characters)
{
    m_textLimit = std::max(0, characters);
}

void CTextBox::enforceLimit(int position, int added)
{
    // characterCount() includes the final paragraph separator.
    const int last = document()->characterCount() - 1;
    const int excess = last - m_textLimit;
    if (m_textLimit <= 0 || excess <= 0 || added <= 0)
        return;
    // A whole document read in reports the change against a layout that may count one
    // separator more than the text now has; the cut stays inside the text.
    const int end = std::min(position + added, last);
    const int start = std::max(0, std::min(std::max(position, end - excess), end));
    QTextCursor cut(document());
    cut.setPosition(start);
    cut.setPosition(end, QTextCursor::KeepAnchor);
    cut.removeSelectedText();
    // Text before the change may still leave the box over its limit: the tail goes.
    const int over = document()->characterCount() - 1 - m_textLimit;
    if (over > 0) {
        cut.setPosition(m_textLimit);
        cut.setPosition(m_textLimit + over, QTextCursor::KeepAnchor);
        cut.removeSelectedText();
    }
}

// ---- line breaking ----

void CTextBox::SetWrapMode(int mode)
{
    if (mode == m_wrapMode || mode < NoWrap || mode > FixedWrap)
        return;
    m_wrapMode = mode;
    applyWrapMode();
}

void CTextBox::applyWrapMode()
{
    switch (m_wrapMode) {
    case NoWrap:
        setLineWrapMode(QTextEdit::NoWrap);
        break;
    case WindowWrap:
        setLineWrapMode(QTextEdit::WidgetWidth);
        break;
    default:
        ApplyFixedWidth(kSendEmailTab);
        break;
    }
}

void CTextBox::ApplyFixedWidth(int tabIndex)
{
    QFont font(m_plainRecord.face.isEmpty() ? m_plainFace : m_plainRecord.face);
    font.setPointSize(m_measuringSize);
    const QFontMetricsF metrics(font, viewport());
    const double pixelsPerInch = logicalDpiX() > 0 ? logicalDpiX() : 96.0;
    // The average character width is that of "x", as the classic text metrics define
    // it; the font engine's own average is rounded to whole pixels, which puts a few
    // characters more or fewer on a line than the wrap length.
    // The wrap width includes the document's margins on both sides; the line itself
    // gets the measured width, limited by the room the margins leave.
    const int margins = int(std::ceil(2 * document()->documentMargin()));
    m_lineWidthTwips = fixedLineWidthTwips(m_wrapLength, metrics.horizontalAdvance(u'x'),
                                           pixelsPerInch, viewport()->width() - margins, tabIndex);
    setLineWrapMode(QTextEdit::FixedPixelWidth);
    setLineWrapColumnOrWidth(
        std::max(1, int(std::lround(m_lineWidthTwips * pixelsPerInch / kTwipsPerInch))) + margins);
}

void CTextBox::SetWrapLength(int characters)
{
    m_wrapLength = characters >= kMinWrapLength && characters <= kMaxWrapLength
                       ? characters
                       : kDefaultWrapLength;
}

void CTextBox::SetMeasuringSize(int points)
{
    m_measuringSize = points >= kMinFontSize && points <= kMaxFontSize ? points : kDefaultFontSize;
}

void CTextBox::SetPlainSize(int points)
{
    m_plainSize = points >= kMinFontSize && points <= kMaxFontSize ? points : kDefaultFontSize;
}

void CTextBox::SetPlainFace(const QString& face)
{
    m_plainFace = face;
}

void CTextBox::SetRichFont(int points, const QColor& colour, const QString& face)
{
    m_richSize = points;
    m_richColour = colour;
    m_richFace = face;
}

void CTextBox::GetRichFont(int& points, QColor& colour, QString& face) const
{
    points = m_richSize;
    colour = m_richColour;
    face = m_richFace;
}

void CTextBox::SetBackColour(const QColor& colour)
{
    m_backColour = colour;
    QPalette palette = viewport()->palette();
    palette.setColor(QPalette::Base, colour);
    viewport()->setPalette(palette);
    viewport()->setAutoFillBackground(true);
}

// ---- whole-box formats ----

void CTextBox::applyToAll(const CharFormatRecord& record, bool makeDefault)
{
    const QTextCharFormat format = record.toCharFormat();
    QTextCursor all(document());
    all.select(QTextCursor::Document);
    all.mergeCharFormat(format);
    if (makeDefault) {
        QFont font = document()->defaultFont();
        font.setFamilies({record.face});
        font.setPointSizeF(record.points());
        document()->setDefaultFont(font);
    }
    // New typing continues in the applied format.
    QTextCharFormat typing = currentCharFormat();
    typing.merge(format);
    setCurrentCharFormat(typing);
}

void CTextBox::SetStartFormat(bool isOutgoing, int outgoingFormat)
{
    m_startRecord = CharFormatRecord::make(QStringLiteral("Arial"), 12, Qt::black);
    m_plainRecord = CharFormatRecord::make(m_plainFace, m_measuringSize, Qt::black);
    applyToAll(isOutgoing && outgoingFormat == 0 ? m_plainRecord : m_startRecord, true);
}

void CTextBox::ApplyPlainFormat()
{
    m_plainRecord = CharFormatRecord::make(m_plainFace, m_plainSize, Qt::black);
    applyToAll(m_plainRecord, false);
}

void CTextBox::ReapplyPlainFormat()
{
    applyToAll(m_plainRecord, false);
}

void CTextBox::ReplacePlainText(const QString& text)
{
    // Set as the typing format first, the format is given to the new text as it goes in:
    // a second pass over a long text would lay the whole document out again.
    QTextCharFormat typing = currentCharFormat();
    typing.merge(m_plainRecord.toCharFormat());
    setCurrentCharFormat(typing);
    setPlainText(text);
    setCurrentCharFormat(typing);
}

void CTextBox::ApplyRichFormat()
{
    m_richRecord = CharFormatRecord::make(m_richFace, m_richSize, m_richColour);
    applyToAll(m_richRecord, false);
}

void CTextBox::ApplyFontToAll(int points, const QColor& colour, const QString& face)
{
    m_wholeTextRecord = CharFormatRecord::make(face, points, colour);
    applyToAll(m_wholeTextRecord, false);
}

// ---- selection primitives ----

int CTextBox::effectState(int property) const
{
    const std::optional<bool> state = uniformValue<bool>(
        *this, [property](const QTextCharFormat& f) { return effectOf(f, property); });
    return state ? int(*state) : -1;
}

void CTextBox::setEffect(int property, int mode)
{
    bool on = mode == 1;
    if (mode == 0) {
        const int state = effectState(property);
        on = state == -1 ? true : state == 0;
    }
    QTextCharFormat change;
    setEffectOn(change, property, on);
    mergeCurrentCharFormat(change);
}

void CTextBox::SetBold(int mode)
{
    setEffect(QTextFormat::FontWeight, mode);
}

void CTextBox::SetItalic(int mode)
{
    setEffect(QTextFormat::FontItalic, mode);
}

void CTextBox::ToggleUnderline()
{
    setEffect(QTextFormat::FontUnderline, 0);
}

void CTextBox::ToggleStrikeout()
{
    setEffect(QTextFormat::FontStrikeOut, 0);
}

int CTextBox::IsBold() const
{
    return effectState(QTextFormat::FontWeight);
}

int CTextBox::IsItalic() const
{
    return effectState(QTextFormat::FontItalic);
}

int CTextBox::IsUnderlined() const
{
    return effectState(QTextFormat::FontUnderline);
}

int CTextBox::IsStrikeout() const
{
    return effectState(QTextFormat::FontStrikeOut);
}

void CTextBox::SetSelectionSize(int points)
{
    QTextCharFormat change;
    change.setFontPointSize(points);
    mergeCurrentCharFormat(change);
}

int CTextBox::GetSelectionSize() const
{
    const std::optional<int> twips = uniformValue<int>(*this, [this](const QTextCharFormat& f) {
        const double points = f.hasProperty(QTextFormat::FontPointSize)
                                  ? f.fontPointSize()
                                  : document()->defaultFont().pointSizeF();
        return int(std::lround(points * kTwipsPerPoint));
    });
    return twips ? *twips / 20 : 0;
}

void CTextBox::SetSelectionColour(const QColor& colour)
{
    QTextCharFormat change;
    change.setForeground(colour);
    mergeCurrentCharFormat(change);
}

void CTextBox::SetSelectionFace(const QString& face)
{
    QTextCharFormat change;
    change.setFontFamilies({cutFaceName(face)});
    mergeCurrentCharFormat(change);
}

void CTextBox::SetAlignment(int alignment)
{
    if (alignment < AlignLeft || alignment > AlignJustify)
        return;
    QTextBlockFormat change;
    change.setAlignment(qtAlignment(alignment));
    textCursor().mergeBlockFormat(change);
}

int CTextBox::IsAligned(int alignment) const
{
    std::optional<Qt::Alignment> common;
    for (const QTextBlock& block : selectedBlocks(*this)) {
        const Qt::Alignment a = block.blockFormat().alignment() & Qt::AlignHorizontal_Mask;
        if (common && *common != a)
            return -1;
        common = a;
    }
    const Qt::Alignment wanted = qtAlignment(alignment);
    // Paragraphs without an explicit alignment are left aligned.
    const Qt::Alignment actual = common && *common != Qt::Alignment() ? *common : Qt::AlignLeft;
    return actual == wanted || (wanted == Qt::AlignLeft && actual == Qt::AlignLeading) ? 1 : 0;
}

int CTextBox::IsBulleted() const
{
    std::optional<bool> common;
    for (const QTextBlock& block : selectedBlocks(*this)) {
        const bool bullet =
            block.textList() && block.textList()->format().style() == QTextListFormat::ListDisc;
        if (common && *common != bullet)
            return -1;
        common = bullet;
    }
    return common.value_or(false) ? 1 : 0;
}

void CTextBox::ToggleBullet()
{
    QTextCursor cursor = textCursor();
    if (IsBulleted() == 1) {
        cursor.beginEditBlock();
        for (const QTextBlock& block : selectedBlocks(*this)) {
            if (QTextList* list = block.textList())
                list->remove(block);
            QTextCursor at(block);
            QTextBlockFormat format = block.blockFormat();
            format.setIndent(0);
            format.setTextIndent(0);
            at.setBlockFormat(format);
        }
        cursor.endEditBlock();
        return;
    }
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    bullets.setIndent(1);
    cursor.createList(bullets);
}

void CTextBox::keyPressEvent(QKeyEvent* event)
{
    // Tab is text in these boxes; Ctrl+Tab and Ctrl+Shift+Tab leave them, so the keyboard
    // never gets stuck in one.
    const bool tab = event->key() == Qt::Key_Tab || event->key() == Qt::Key_Backtab;
    if (tab && (event->modifiers() & Qt::ControlModifier)) {
        const bool back =
            event->key() == Qt::Key_Backtab || (event->modifiers() & Qt::ShiftModifier);
        QAbstractScrollArea::focusNextPrevChild(!back);
        return;
    }
    QTextEdit::keyPressEvent(event);
}

void CTextBox::contextMenuEvent(QContextMenuEvent* event)
{
    if (!m_popupMenu) {
        QTextEdit::contextMenuEvent(event);
        return;
    }
    m_popupMenu->popup(event->globalPos());
    event->accept();
}

void CTextBox::insertFromMimeData(const QMimeData* source)
{
    QTextEdit::insertFromMimeData(source);
    Q_EMIT pasted();
}
