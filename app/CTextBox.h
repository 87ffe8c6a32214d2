#pragma once

#include "CharFormatRecord.h"

#include <QTextEdit>

class QMenu;

// The large text areas of the workspace (outgoing body, topic text, read message,
// notepad). Besides the editor it keeps the box's line-break mode, its plain and rich
// starting fonts and offers the format primitives of the formatting commands.
class CTextBox : public QTextEdit
{
    Q_OBJECT

public:
    enum WrapMode { NoWrap = 0, WindowWrap = 1, FixedWrap = 2 };
    // Paragraph alignments as the formatting commands number them.
    enum Alignment { AlignLeft = 1, AlignRight = 2, AlignCentre = 3, AlignJustify = 4 };
    static constexpr int kCreateReplyTab = 2;
    static constexpr int kSendEmailTab = 3;

    explicit CTextBox(QWidget* parent = nullptr);

    int wrapMode() const { return m_wrapMode; }
    void SetWrapMode(int mode);
    // Measures the fixed line width for `tabIndex` (see fixedLineWidthTwips) and sets it.
    void ApplyFixedWidth(int tabIndex);
    int lineWidthTwips() const { return m_lineWidthTwips; }

    int wrapLength() const { return m_wrapLength; }
    void SetWrapLength(int characters);
    int measuringSize() const { return m_measuringSize; }
    void SetMeasuringSize(int points);
    int plainSize() const { return m_plainSize; }
    void SetPlainSize(int points);
    QString plainFace() const { return m_plainFace; }
    void SetPlainFace(const QString& face);

    void SetRichFont(int points, const QColor& colour, const QString& face);
    void GetRichFont(int& points, QColor& colour, QString& face) const;

    QColor GetBackColour() const { return m_backColour; }
    void SetBackColour(const QColor& colour);

    void SetStartFormat(bool isOutgoing, int outgoingFormat);
    void ApplyPlainFormat();
    void ReapplyPlainFormat();
    // Replaces the whole text with `text` in the plain format (what ReapplyPlainFormat after
    // setPlainText gives, in one pass).
    void ReplacePlainText(const QString& text);
    void ApplyRichFormat();
    void ApplyFontToAll(int points, const QColor& colour, const QString& face);

    const CharFormatRecord& plainRecord() const { return m_plainRecord; }
    const CharFormatRecord& startRecord() const { return m_startRecord; }
    const CharFormatRecord& richRecord() const { return m_richRecord; }

    // Selection primitives. Modes: 0 toggle, 1 set, anything else clear. The "is"
    // questions answer -1 when the selection is mixed, else 1 or 0.
    void SetBold(int mode);
    void SetItalic(int mode);
    void ToggleUnderline();
    void ToggleStrikeout();
    int IsBold() const;
    int IsItalic() const;
    int IsUnderlined() const;
    int IsStrikeout() const;
    void SetSelectionSize(int points);
    int GetSelectionSize() const; // 0 when mixed
    void SetSelectionColour(const QColor& colour);
    void SetSelectionFace(const QString& face);
    void SetAlignment(int alignment);
    int IsAligned(int alignment) const;
    int IsBulleted() const;
    void ToggleBullet();

    // Text beyond `characters` is refused, as an edit control's text limit does.
    void setTextLimit(int characters);
    int textLimit() const { return m_textLimit; }

    // The menu shown on a right click (the text-box popup menu of the main window).
    void setPopupMenu(QMenu* menu) { m_popupMenu = menu; }

Q_SIGNALS:
    // Text came in from the clipboard or a drop.
    void pasted();

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void insertFromMimeData(const QMimeData* source) override;

private:
    void applyToAll(const CharFormatRecord& record, bool makeDefault);
    void enforceLimit(int position, int added);
    void applyWrapMode();
    void setEffect(int property, int mode);
    int effectState(int property) const;

    int m_wrapMode = WindowWrap;
    QColor m_backColour = colourFromRef(0xC0C060);
    int m_wrapLength = 76;
    int m_measuringSize = 10;
    int m_plainSize = 10;
    QString m_plainFace = QStringLiteral("Courier New");
    CharFormatRecord m_plainRecord;
    CharFormatRecord m_wholeTextRecord;
    CharFormatRecord m_startRecord;
    CharFormatRecord m_richRecord;
    int m_richSize = 12;
    QColor m_richColour = Qt::black;
    QString m_richFace = QStringLiteral("Arial");
    int m_lineWidthTwips = 0;
    int m_textLimit = 0;
    QMenu* m_popupMenu = nullptr;
};

// The fixed line width in twips: `wrapLength` characters of `averageCharWidth` pixels,
// limited to the box's width less 20 twips except on "Create Reply", where the
// outgoing box is hidden and has no width to limit it.
int fixedLineWidthTwips(int wrapLength, double averageCharWidth, double pixelsPerInch,
                        int clientWidth, int tabIndex);
