// The profile editor's window: the profiles on the left, the selected profile's identity,
// message stores and sending on tabs to the right. It edits a ProfileFile and writes it on
// OK or Apply.
#pragma once

#include "ProfileFile.h"

#include <QDialog>
#include <functional>

class QCheckBox;
class QComboBox;
class QDialogButtonBox;
class QFormLayout;
class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;
class QTabWidget;

namespace vntprofiles {

// Every question the window asks, so that tests can answer them.
struct EditorPrompts
{
    // False when the user cancelled.
    std::function<bool(QWidget* parent, const QString& title, const QString& label, QString* text)>
        askText;
    std::function<void(QWidget* parent, const QString& message)> showError;
    std::function<bool(QWidget* parent, const QString& question)> confirm;
    // Empty when the user cancelled.
    std::function<QString(QWidget* parent, const QString& title, const QString& start)>
        chooseFolder;

    static EditorPrompts interactive();
};

class ProfileEditor : public QDialog
{
    Q_OBJECT

public:
    explicit ProfileEditor(ProfileFile* file, QWidget* parent = nullptr);

    void setPrompts(const EditorPrompts& prompts) { m_prompts = prompts; }
    bool hasChanges() const { return m_dirty; }

    void newProfile();
    void renameProfile();
    void deleteProfile();
    void setDefaultProfile();
    void addStore();
    void removeStore();
    // Checks and writes the profiles; false (after saying why) when they were not written.
    bool apply();

    void accept() override;
    void reject() override;

private:
    QWidget* makeProfilePane();
    QWidget* makeIdentityTab();
    QWidget* makeStoresTab();
    QWidget* makeSendingTab();
    QLineEdit* addFolderRow(QFormLayout* form, const QString& label, const QString& browse,
                            const QString& name);

    void refreshProfiles(int select);
    void showProfile();
    void showStore();
    void updateEnabled();
    void setDirty(bool dirty);
    void editProfile(const std::function<void(ProfileSettings&)>& change);
    void editStore(const std::function<void(StoreSettings&)>& change);
    void bindProfileText(QLineEdit* edit, QString ProfileSettings::*field);
    void bindStoreText(QLineEdit* edit, QString StoreSettings::*field);
    int currentProfile() const;
    int currentStore() const;

    ProfileFile* m_file;
    EditorPrompts m_prompts;
    bool m_loading = false;
    bool m_dirty = false;

    QListWidget* m_profileList = nullptr;
    QPushButton* m_renameButton = nullptr;
    QPushButton* m_deleteButton = nullptr;
    QPushButton* m_defaultButton = nullptr;
    QTabWidget* m_tabs = nullptr;
    QLineEdit* m_identityName = nullptr;
    QLineEdit* m_identityAddress = nullptr;
    QListWidget* m_storeList = nullptr;
    QPushButton* m_removeStoreButton = nullptr;
    QWidget* m_storeDetails = nullptr;
    QLineEdit* m_storePath = nullptr;
    QLineEdit* m_contactsPath = nullptr;
    QCheckBox* m_defaultStore = nullptr;
    QLineEdit* m_outbox = nullptr;
    QLineEdit* m_sentItems = nullptr;
    QLineEdit* m_deletedItems = nullptr;
    QLineEdit* m_drafts = nullptr;
    QComboBox* m_transportKind = nullptr;
    QLineEdit* m_host = nullptr;
    QLineEdit* m_port = nullptr;
    QComboBox* m_security = nullptr;
    QLineEdit* m_user = nullptr;
    QLineEdit* m_sendmailPath = nullptr;
    QDialogButtonBox* m_buttons = nullptr;
};

} // namespace vntprofiles
