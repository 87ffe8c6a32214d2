// "Add new address entry": the form a new contact is typed into. The three-entry form gives
// each of the contact's three e-mail entries its own display name; the simple form has one
// display name for up to three addresses. Each control is named "c<id>" after its control id.
#pragma once

#include <QDialog>
#include <QString>
#include <QStringList>
#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;

namespace vantrel::compose {

// What the user typed, every text trimmed.
struct ContactForm
{
    bool threeEntries = true;
    int folderIndex = 0;
    QString first;
    QString middle;
    QString last;
    QString displayName;               // the simple form's one display name
    std::array<QString, 3> entryNames; // the three-entry form's "Display name n As"
    std::array<QString, 3> addresses;
    QString addressType;
    bool addToMessage = false;

    // The display name typed for entry `i` (the simple form's one name for each entry).
    QString typedName(int i) const
    {
        return threeEntries ? entryNames[static_cast<size_t>(i)] : displayName;
    }
    // Entry `i` has both a display name and an address.
    bool isPair(int i) const
    {
        return !typedName(i).isEmpty() && !addresses[static_cast<size_t>(i)].isEmpty();
    }
};

class ContactEntryDialog : public QDialog
{
    Q_OBJECT

public:
    enum class Form {
        ThreeEntries, // dialog 188
        Simple,       // dialog 140
    };

    // `folders`: display names of the contacts folders in folder-list order; the first is
    // selected.
    ContactEntryDialog(Form form, const QStringList& folders, QWidget* parent = nullptr);

    // Starts with `name` as the first display name and `address` as the first address.
    void setInitial(const QString& name, const QString& address);
    // The three-entry form's "Add new contact to current message"; the simple form has none.
    void setAddToMessage(bool enabled, bool checked);

    ContactForm form() const;

    // OK: refused with a warning, the dialog staying open, until the form is complete.
    void accept() override;

private:
    void buildThreeEntries();
    void buildSimple();
    QLineEdit* addEdit(int id);
    // The refusal text for the form as it is, and the control to go back to; empty when it
    // may be taken.
    QString refusal(QWidget** focus) const;

    Form m_form;
    QComboBox* m_folders = nullptr;
    QLineEdit* m_first = nullptr;
    QLineEdit* m_middle = nullptr;
    QLineEdit* m_last = nullptr;
    QLineEdit* m_displayName = nullptr;
    std::array<QLineEdit*, 3> m_entryNames{};
    std::array<QLineEdit*, 3> m_addresses{};
    QLineEdit* m_addressType = nullptr;
    QCheckBox* m_addToMessage = nullptr;
};

} // namespace vantrel::compose
