#include "TextFormatCommands.h"

#include "CSupportView.h"
#include "CTextBox.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/Prompter.h"
#include "core/SettingDefinitions.h"

#include <QAction>
#include <QColorDialog>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFontDialog>
#include <QFormLayout>
#include <QPixmap>
#include <QVBoxLayout>
#include <algorithm>
#include <cmath>
#include <optional>

namespace {

enum FormatCommand {
    BackColour = 32844,
    CharFormat = 32845,
    Bold = 32846,
    Underline = 32847,
    Italic = 32848,
    Strikeout = 32849,
    AlignLeft = 32850,
    AlignCentre = 32851,
    AlignRight = 32852,
    Bullet = 32853,
    RichStartFont = 32886,
    PlainFont = 32887,
};

constexpr int kMinPlainPoints = 9;
constexpr int kMaxPlainPoints = 36;
constexpr int kFallbackRichPoints = 12;

struct BasicColour
{
    const char* name;
    QRgb rgb;
};

constexpr BasicColour kBasicColours[] = {
    {"Black", 0x000000},  {"Maroon", 0x800000},  {"Green", 0x008000}, {"Olive", 0x808000},
    {"Navy", 0x000080},   {"Purple", 0x800080},  {"Teal", 0x008080},  {"Grey", 0x808080},
    {"Silver", 0xC0C0C0}, {"Red", 0xFF0000},     {"Lime", 0x00FF00},  {"Yellow", 0xFFFF00},
    {"Blue", 0x0000FF},   {"Fuchsia", 0xFF00FF}, {"Aqua", 0x00FFFF},  {"White", 0xFFFFFF},
};

// A selection effect, paragraph alignment or bullet: how the command changes the box and
// whether the selection has it.
struct SelectionCommand
{
    int id;
    void (*apply)(CTextBox&);
    int (*state)(const CTextBox&);
};

const SelectionCommand kSelectionCommands[] = {
    {Bold, [](CTextBox& b) { b.SetBold(0); },
     [](const CTextBox& b) {
         return b.IsBold();
     }},
    {Italic, [](CTextBox& b) { b.SetItalic(0); },
     [](const CTextBox& b) {
         return b.IsItalic();
     }},
    {Underline, [](CTextBox& b) { b.ToggleUnderline(); },
     [](const CTextBox& b) {
         return b.IsUnderlined();
     }},
    {Strikeout, [](CTextBox& b) { b.ToggleStrikeout(); },
     [](const CTextBox& b) {
         return b.IsStrikeout();
     }},
    {AlignLeft, [](CTextBox& b) { b.SetAlignment(CTextBox::AlignLeft); },
     [](const CTextBox& b) {
         return b.IsAligned(CTextBox::AlignLeft);
     }},
    {AlignCentre, [](CTextBox& b) { b.SetAlignment(CTextBox::AlignCentre); },
     [](const CTextBox& b) {
         return b.IsAligned(CTextBox::AlignCentre);
     }},
    {AlignRight, [](CTextBox& b) { b.SetAlignment(CTextBox::AlignRight); },
     [](const CTextBox& b) {
         return b.IsAligned(CTextBox::AlignRight);
     }},
    {Bullet, [](CTextBox& b) { b.ToggleBullet(); },
     [](const CTextBox& b) {
         return b.IsBulleted();
     }},
};

bool isOutgoingPlain(const CSupportView& view, int controlId)
{
    return controlId == TextStreams::kOutgoingBox && view.OutgoingFormat() == 0;
}

// The text box that has the focus, or nullptr.
CTextBox* focusedBox(const CSupportView& view)
{
    const int id = view.focusedControl();
    return id >= TextStreams::kOutgoingBox && id <= TextStreams::kNotepadBox ? view.textBox(id)
                                                                             : nullptr;
}

// The focused box when its selection can be formatted: not the outgoing body while it is
// plain text.
CTextBox* formattableBox(const CSupportView& view)
{
    return isOutgoingPlain(view, view.focusedControl()) ? nullptr : focusedBox(view);
}

int points(const QFont& font)
{
    return int(std::lround(font.pointSizeF()));
}

QFont fontOf(const QString& face, int size)
{
    QFont font(face);
    font.setPointSize(size);
    return font;
}

// A fixed-pitch face and size; nothing when cancelled.
std::optional<QFont> choosePlainFont(QWidget* owner, const QFont& start)
{
    QFontDialog dialog(start, owner);
    dialog.setOptions(QFontDialog::MonospacedFonts | QFontDialog::DontUseNativeDialog);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return std::nullopt;
    return dialog.currentFont();
}

// The format of the selection's first character, or the typing format without a selection.
QTextCharFormat selectionFormat(const CTextBox& box)
{
    const QTextCursor cursor = box.textCursor();
    if (!cursor.hasSelection())
        return box.currentCharFormat();
    QTextCursor first(box.document());
    first.setPosition(cursor.selectionStart() + 1);
    return first.charFormat();
}

// A plain outgoing body has one font: the choice goes to all of it, fixed-pitch only, so
// that the fixed line width still holds the wrap length, and the width is measured again.
void changePlainBodyFont(CSupportView& view, CTextBox& box)
{
    const std::optional<QFont> chosen =
        choosePlainFont(&view, fontOf(box.plainFace(), box.plainSize()));
    if (!chosen)
        return;
    box.SetPlainFace(cutFaceName(chosen->family()));
    box.SetPlainSize(points(*chosen));
    box.ApplyPlainFormat();
    box.ApplyFixedWidth(view.currentTab());
}

void changeCharFormat(CSupportView& view)
{
    CTextBox* box = focusedBox(view);
    if (!box)
        return;
    if (isOutgoingPlain(view, view.focusedControl())) {
        changePlainBodyFont(view, *box);
        return;
    }
    const QTextCharFormat format = selectionFormat(*box);
    const QColor colour = format.hasProperty(QTextFormat::ForegroundBrush)
                              ? format.foreground().color()
                              : box->palette().color(QPalette::Text);
    FontColourDialog dialog(format.font().resolve(box->document()->defaultFont()), colour, &view);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return;
    const QFont chosen = dialog.selectedFont();
    QTextCharFormat change;
    change.setFontFamilies({cutFaceName(chosen.family())});
    change.setFontPointSize(chosen.pointSizeF());
    change.setFontWeight(chosen.bold() ? QFont::Bold : QFont::Normal);
    change.setFontItalic(chosen.italic());
    change.setFontUnderline(chosen.underline());
    change.setFontStrikeOut(chosen.strikeOut());
    change.setForeground(dialog.selectedColour());
    box->mergeCurrentCharFormat(change);
}

int colourSetting(int controlId)
{
    switch (controlId) {
    case TextStreams::kOutgoingBox:
        return EditOutColour;
    case TextStreams::kTopicBox:
        return EditFileColour;
    case TextStreams::kReadBox:
        return EditInColour;
    default:
        return NotePadColour;
    }
}

void changeBackColour(CSupportView& view)
{
    CTextBox* box = focusedBox(view);
    if (!box)
        return;
    QColorDialog dialog(box->GetBackColour(), &view);
    dialog.setOption(QColorDialog::DontUseNativeDialog);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return;
    const QColor colour = dialog.currentColor();
    box->SetBackColour(colour);
    view.workingSettings().boxColours[static_cast<size_t>(colourSetting(view.focusedControl()))] =
        colourToRef(colour);
}

void changeRichStartFont(CSupportView& view, CSupportDoc& doc)
{
    CTextBox* outgoing = view.textBox(TextStreams::kOutgoingBox);
    if (!outgoing)
        return;
    int size = 0;
    QColor colour;
    QString face;
    outgoing->GetRichFont(size, colour, face);
    if (face.isEmpty() || size <= 0) {
        face = QStringLiteral("Arial");
        size = kFallbackRichPoints;
    }
    FontColourDialog dialog(fontOf(face, size), colour, &view);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return;
    const QFont chosen = dialog.selectedFont();
    // Whole points, as tenths of a point divided by ten give them.
    const int chosenSize = int(chosen.pointSizeF());
    const QString chosenFace = cutFaceName(chosen.family());
    outgoing->SetRichFont(chosenSize, dialog.selectedColour(), chosenFace);
    doc.setIntSetting(RtfFontSize, chosenSize);
    doc.setStringSetting(RtfFontName, chosenFace);
}

void changePlainFont(CSupportView& view, CSupportDoc& doc)
{
    CTextBox* outgoing = view.textBox(TextStreams::kOutgoingBox);
    if (!outgoing)
        return;
    const std::optional<QFont> chosen =
        choosePlainFont(&view, fontOf(outgoing->plainFace(), outgoing->plainSize()));
    if (!chosen)
        return;
    const int size = std::clamp(points(*chosen), kMinPlainPoints, kMaxPlainPoints);
    const QString face = cutFaceName(chosen->family());
    outgoing->SetPlainFace(face);
    outgoing->SetPlainSize(size);
    outgoing->SetMeasuringSize(size);
    doc.setIntSetting(PlainFontSize, size);
    doc.setStringSetting(PlainFontName, face);
}

} // namespace

FontColourDialog::FontColourDialog(const QFont& font, const QColor& colour, QWidget* parent)
    : QDialog(parent)
    , m_font(new QFontDialog(font, this))
    , m_colour(new QComboBox(this))
{
    setWindowTitle(tr("Font"));
    // The font dialog inside this one, which adds the colour and the buttons.
    m_font->setOptions(QFontDialog::NoButtons | QFontDialog::DontUseNativeDialog);
    m_font->setWindowFlags(Qt::Widget);
    m_font->setSizeGripEnabled(false);
    m_font->setVisible(true);
    m_colour->setObjectName(QStringLiteral("colour"));
    for (const BasicColour& basic : kBasicColours) {
        QPixmap swatch(16, 16);
        swatch.fill(QColor(basic.rgb));
        m_colour->addItem(QIcon(swatch), tr(basic.name), QColor(basic.rgb));
    }
    setColour(colour);

    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* colourRow = new QFormLayout;
    colourRow->addRow(tr("Colour:"), m_colour);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_font);
    layout->addLayout(colourRow);
    layout->addWidget(buttons);
}

QFont FontColourDialog::selectedFont() const
{
    return m_font->currentFont();
}

QColor FontColourDialog::selectedColour() const
{
    return m_colour->currentData().value<QColor>();
}

void FontColourDialog::setColour(const QColor& colour)
{
    int index = m_colour->findData(colour);
    if (index < 0) {
        QPixmap swatch(16, 16);
        swatch.fill(colour);
        m_colour->addItem(QIcon(swatch), tr("Custom"), colour);
        index = m_colour->count() - 1;
    }
    m_colour->setCurrentIndex(index);
}

void bindTextFormatCommands(CommandRouter& router, CSupportView& view, CSupportDoc& doc)
{
    const auto anyBox = [&view] {
        return CommandState{focusedBox(view) != nullptr, false};
    };
    router.bind(
        CharFormat, [&view] { changeCharFormat(view); }, anyBox);
    router.bind(
        BackColour, [&view] { changeBackColour(view); }, anyBox);
    router.bind(RichStartFont, [&view, &doc] { changeRichStartFont(view, doc); });
    router.bind(PlainFont, [&view, &doc] { changePlainFont(view, doc); });
    for (const SelectionCommand& command : kSelectionCommands) {
        router.bind(
            command.id,
            [&view, command] {
                if (CTextBox* box = formattableBox(view))
                    command.apply(*box);
            },
            [&view, command] {
                const CTextBox* box = formattableBox(view);
                return CommandState{box != nullptr, box && command.state(*box) == 1};
            });
        if (QAction* action = router.action(command.id))
            action->setCheckable(true);
    }
}
