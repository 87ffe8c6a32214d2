// The formatting commands of the four text boxes (outgoing body, topic text, read message,
// notepad): character effects, alignment and bullets of the selection, the selection's font
// and colour, the box background, and the starting fonts of the outgoing body.
#pragma once

#include <QColor>
#include <QDialog>
#include <QFont>

class CSupportDoc;
class CSupportView;
class CommandRouter;
class QComboBox;
class QFontDialog;

// A font dialog with its effects and a colour list (the sixteen basic colours, and the
// starting colour when it is none of them).
class FontColourDialog : public QDialog
{
    Q_OBJECT

public:
    FontColourDialog(const QFont& font, const QColor& colour, QWidget* parent = nullptr);

    QFont selectedFont() const;
    QColor selectedColour() const;
    // Selects `colour`, adding it to the list when it is not there.
    void setColour(const QColor& colour);

    QFontDialog* fontPicker() const { return m_font; }
    QComboBox* colourList() const { return m_colour; }

private:
    QFontDialog* m_font;
    QComboBox* m_colour;
};

// Binds 32844 to 32853, 32886 and 32887. The settings the starting fonts change are kept in
// `doc` and written back at shut-down.
void bindTextFormatCommands(CommandRouter& router, CSupportView& view, CSupportDoc& doc);
