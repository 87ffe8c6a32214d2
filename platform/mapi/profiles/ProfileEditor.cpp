#include "ProfileEditor.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialogButtonBox>
#include <QFileDialog>
#include <QFormLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QInputDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMessageBox>
#include <QPushButton>
#include <QTabWidget>
#include <QVBoxLayout>
#include <algorithm>

namespace vntprofiles {

EditorPrompts EditorPrompts::interactive()
{
    EditorPrompts prompts;
    prompts.askText = [](QWidget* parent, const QString& title, const QString& label,
                         QString* text) {
        bool ok = false;
        *text = QInputDialog::getText(parent, title, label, QLineEdit::Normal, *text, &ok);
        return ok;
    };
    prompts.showError = [](QWidget* parent, const QString& message) {
        QMessageBox::warning(parent, ProfileEditor::tr("Mail Profiles"), message);
    };
    prompts.confirm = [](QWidget* parent, const QString& question) {
        return QMessageBox::question(parent, ProfileEditor::tr("Mail Profiles"), question) ==
               QMessageBox::Yes;
    };
    prompts.chooseFolder = [](QWidget* parent, const QString& title, const QString& start) {
        return QFileDialog::getExistingDirectory(parent, title, start);
    };
    return prompts;
}

ProfileEditor::ProfileEditor(ProfileFile* file, QWidget* parent)
    : QDialog(parent)
    , m_file(file)
    , m_prompts(EditorPrompts::interactive())
{
    setWindowTitle(tr("Mail Profiles"));
    m_tabs = new QTabWidget;
    m_tabs->addTab(makeIdentityTab(), tr("Identit&y"));
    m_tabs->addTab(makeStoresTab(), tr("Stor&es"));
    m_tabs->addTab(makeSendingTab(), tr("Sendin&g"));

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Apply |
                                     QDialogButtonBox::Cancel);
    m_buttons->setObjectName(QStringLiteral("buttons"));
    m_buttons->button(QDialogButtonBox::Ok)->setText(tr("&OK"));
    m_buttons->button(QDialogButtonBox::Apply)->setText(tr("&Apply"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(tr("&Cancel"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &ProfileEditor::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &ProfileEditor::reject);
    connect(m_buttons->button(QDialogButtonBox::Apply), &QPushButton::clicked, this,
            &ProfileEditor::apply);

    auto* top = new QHBoxLayout;
    top->addWidget(makeProfilePane());
    top->addWidget(m_tabs, 1);
    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(m_buttons);

    const int start =
        std::max(0, int(std::find_if(m_file->profiles().begin(), m_file->profiles().end(),
                                     [](const ProfileSettings& p) { return p.isDefault; }) -
                        m_file->profiles().begin()));
    refreshProfiles(start);
    setDirty(false);
}

QWidget* ProfileEditor::makeProfilePane()
{
    auto* pane = new QWidget;
    auto* layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    m_profileList = new QListWidget;
    m_profileList->setObjectName(QStringLiteral("profileList"));
    auto* label = new QLabel(tr("&Profiles:"));
    label->setBuddy(m_profileList);
    connect(m_profileList, &QListWidget::currentRowChanged, this, &ProfileEditor::showProfile);

    auto* newButton = new QPushButton(tr("&New..."));
    newButton->setObjectName(QStringLiteral("newButton"));
    m_renameButton = new QPushButton(tr("&Rename..."));
    m_renameButton->setObjectName(QStringLiteral("renameButton"));
    m_deleteButton = new QPushButton(tr("&Delete"));
    m_deleteButton->setObjectName(QStringLiteral("deleteButton"));
    m_defaultButton = new QPushButton(tr("Set as defa&ult"));
    m_defaultButton->setObjectName(QStringLiteral("defaultButton"));
    for (QPushButton* button : {newButton, m_renameButton, m_deleteButton, m_defaultButton}) {
        button->setAutoDefault(false);
    }
    connect(newButton, &QPushButton::clicked, this, &ProfileEditor::newProfile);
    connect(m_renameButton, &QPushButton::clicked, this, &ProfileEditor::renameProfile);
    connect(m_deleteButton, &QPushButton::clicked, this, &ProfileEditor::deleteProfile);
    connect(m_defaultButton, &QPushButton::clicked, this, &ProfileEditor::setDefaultProfile);

    auto* buttons = new QGridLayout;
    buttons->addWidget(newButton, 0, 0);
    buttons->addWidget(m_renameButton, 0, 1);
    buttons->addWidget(m_deleteButton, 1, 0);
    buttons->addWidget(m_defaultButton, 1, 1);
    layout->addWidget(label);
    layout->addWidget(m_profileList, 1);
    layout->addLayout(buttons);
    return pane;
}

QWidget* ProfileEditor::makeIdentityTab()
{
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    m_identityName = new QLineEdit;
    m_identityName->setObjectName(QStringLiteral("identityName"));
    m_identityAddress = new QLineEdit;
    m_identityAddress->setObjectName(QStringLiteral("identityAddress"));
    m_identityAddress->setPlaceholderText(QStringLiteral("support@example.com"));
    form->addRow(tr("Na&me:"), m_identityName);
    form->addRow(tr("Addre&ss:"), m_identityAddress);
    auto* note = new QLabel(tr("Messages sent with this profile go out under this name and "
                               "address."));
    note->setWordWrap(true);
    form->addRow(note);
    bindProfileText(m_identityName, &ProfileSettings::identityName);
    bindProfileText(m_identityAddress, &ProfileSettings::identityAddress);
    return tab;
}

QLineEdit* ProfileEditor::addFolderRow(QFormLayout* form, const QString& label,
                                       const QString& browse, const QString& name)
{
    auto* edit = new QLineEdit;
    edit->setObjectName(name);
    auto* button = new QPushButton(browse);
    button->setAutoDefault(false);
    auto* row = new QHBoxLayout;
    row->addWidget(edit, 1);
    row->addWidget(button);
    auto* caption = new QLabel(label);
    caption->setBuddy(edit);
    form->addRow(caption, row);
    connect(button, &QPushButton::clicked, this, [this, edit, label] {
        const QString chosen =
            m_prompts.chooseFolder(this, QString(label).remove(QLatin1Char('&')), edit->text());
        if (!chosen.isEmpty()) {
            edit->setText(chosen);
            edit->textEdited(chosen);
        }
    });
    return edit;
}

QWidget* ProfileEditor::makeStoresTab()
{
    auto* tab = new QWidget;
    auto* layout = new QVBoxLayout(tab);
    m_storeList = new QListWidget;
    m_storeList->setObjectName(QStringLiteral("storeList"));
    m_storeList->setMaximumHeight(fontMetrics().height() * 5);
    auto* label = new QLabel(tr("&Message stores:"));
    label->setBuddy(m_storeList);
    connect(m_storeList, &QListWidget::currentRowChanged, this, &ProfileEditor::showStore);
    auto* addButton = new QPushButton(tr("Add s&tore..."));
    addButton->setObjectName(QStringLiteral("addStoreButton"));
    m_removeStoreButton = new QPushButton(tr("Remo&ve store"));
    m_removeStoreButton->setObjectName(QStringLiteral("removeStoreButton"));
    for (QPushButton* button : {addButton, m_removeStoreButton}) {
        button->setAutoDefault(false);
    }
    connect(addButton, &QPushButton::clicked, this, &ProfileEditor::addStore);
    connect(m_removeStoreButton, &QPushButton::clicked, this, &ProfileEditor::removeStore);
    auto* listRow = new QHBoxLayout;
    listRow->addWidget(m_storeList, 1);
    auto* listButtons = new QVBoxLayout;
    listButtons->addWidget(addButton);
    listButtons->addWidget(m_removeStoreButton);
    listButtons->addStretch();
    listRow->addLayout(listButtons);
    layout->addWidget(label);
    layout->addLayout(listRow);

    m_storeDetails = new QWidget;
    auto* form = new QFormLayout(m_storeDetails);
    form->setContentsMargins(0, 0, 0, 0);
    m_storePath =
        addFolderRow(form, tr("Mail fo&lder:"), tr("&Browse..."), QStringLiteral("storePath"));
    m_storePath->setPlaceholderText(tr("a Maildir folder"));
    m_contactsPath = addFolderRow(form, tr("Address boo&k folder:"), tr("Bro&wse..."),
                                  QStringLiteral("contactsPath"));
    m_contactsPath->setPlaceholderText(tr("optional: a folder of vCard files"));
    m_defaultStore = new QCheckBox(tr("Default store of t&his profile"));
    m_defaultStore->setObjectName(QStringLiteral("defaultStore"));
    form->addRow(m_defaultStore);
    connect(m_defaultStore, &QCheckBox::toggled, this, [this](bool on) {
        const int store = currentStore();
        if (!on || m_loading || store < 0) {
            return;
        }
        editProfile([store](ProfileSettings& p) {
            for (int i = 0; i < p.stores.size(); ++i) {
                p.stores[i].isDefault = i == store;
            }
        });
        m_defaultStore->setEnabled(false); // a default is moved by choosing another store
    });

    auto* special = new QGroupBox(tr("Special folders (optional)"));
    auto* specialForm = new QFormLayout(special);
    m_outbox = new QLineEdit;
    m_outbox->setObjectName(QStringLiteral("outbox"));
    m_sentItems = new QLineEdit;
    m_sentItems->setObjectName(QStringLiteral("sentItems"));
    m_deletedItems = new QLineEdit;
    m_deletedItems->setObjectName(QStringLiteral("deletedItems"));
    m_drafts = new QLineEdit;
    m_drafts->setObjectName(QStringLiteral("drafts"));
    specialForm->addRow(tr("Outbo&x:"), m_outbox);
    specialForm->addRow(tr("Sent item&s:"), m_sentItems);
    specialForm->addRow(tr("Deleted &items:"), m_deletedItems);
    specialForm->addRow(tr("Dra&fts:"), m_drafts);
    auto* hint = new QLabel(tr("Maildir++ names such as .Sent; left empty, the folders other "
                               "mail programs made for these roles are used."));
    hint->setWordWrap(true);
    specialForm->addRow(hint);
    form->addRow(special);
    layout->addWidget(m_storeDetails, 1);

    bindStoreText(m_storePath, &StoreSettings::path);
    bindStoreText(m_contactsPath, &StoreSettings::contacts);
    bindStoreText(m_outbox, &StoreSettings::outbox);
    bindStoreText(m_sentItems, &StoreSettings::sentItems);
    bindStoreText(m_deletedItems, &StoreSettings::deletedItems);
    bindStoreText(m_drafts, &StoreSettings::drafts);
    return tab;
}

QWidget* ProfileEditor::makeSendingTab()
{
    auto* tab = new QWidget;
    auto* form = new QFormLayout(tab);
    m_transportKind = new QComboBox;
    m_transportKind->setObjectName(QStringLiteral("transportKind"));
    m_transportKind->addItem(tr("The system's sendmail program"), TransportSettings::Sendmail);
    m_transportKind->addItem(tr("An SMTP server"), TransportSettings::Smtp);
    m_host = new QLineEdit;
    m_host->setObjectName(QStringLiteral("host"));
    m_host->setPlaceholderText(QStringLiteral("mail.example.com"));
    m_port = new QLineEdit;
    m_port->setObjectName(QStringLiteral("port"));
    m_port->setMaxLength(6);
    m_security = new QComboBox;
    m_security->setObjectName(QStringLiteral("security"));
    m_security->addItem(tr("STARTTLS (usually port 587)"), TransportSettings::StartTls);
    m_security->addItem(tr("TLS from the start (usually port 465)"),
                        TransportSettings::ImplicitTls);
    m_security->addItem(tr("None: not encrypted"), TransportSettings::Plain);
    m_user = new QLineEdit;
    m_user->setObjectName(QStringLiteral("user"));
    m_sendmailPath = new QLineEdit;
    m_sendmailPath->setObjectName(QStringLiteral("sendmailPath"));
    form->addRow(tr("&Send through:"), m_transportKind);
    form->addRow(tr("Ser&ver:"), m_host);
    form->addRow(tr("Por&t:"), m_port);
    form->addRow(tr("Secur&ity:"), m_security);
    form->addRow(tr("User na&me:"), m_user);
    auto* note = new QLabel(tr("The password is not kept in the profile file: it comes from "
                               "the desktop keyring, or you are asked for it once a session."));
    note->setObjectName(QStringLiteral("passwordNote"));
    note->setWordWrap(true);
    form->addRow(note);
    form->addRow(tr("Sendmai&l program:"), m_sendmailPath);

    connect(m_transportKind, &QComboBox::currentIndexChanged, this, [this] {
        editProfile([this](ProfileSettings& p) {
            p.transport.kind = TransportSettings::Kind(m_transportKind->currentData().toInt());
            p.hasTransport = true;
        });
        updateEnabled();
    });
    connect(m_security, &QComboBox::currentIndexChanged, this, [this] {
        const auto security = TransportSettings::Security(m_security->currentData().toInt());
        const QString port = m_port->text();
        // The usual port follows the security unless the user chose another.
        if (!m_loading && (port == QLatin1String("587") || port == QLatin1String("465"))) {
            m_port->setText(security == TransportSettings::ImplicitTls ? QStringLiteral("465")
                                                                       : QStringLiteral("587"));
        }
        editProfile([this, security](ProfileSettings& p) {
            p.transport.security = security;
            bool ok = false;
            const int port = m_port->text().trimmed().toInt(&ok);
            p.transport.port = ok ? port : -1;
        });
    });
    connect(m_port, &QLineEdit::textEdited, this, [this](const QString& text) {
        editProfile([&text](ProfileSettings& p) {
            bool ok = false;
            const int port = text.trimmed().toInt(&ok);
            p.transport.port = ok ? port : -1;
        });
    });
    connect(m_host, &QLineEdit::textEdited, this, [this](const QString& text) {
        editProfile([&text](ProfileSettings& p) { p.transport.host = text; });
    });
    connect(m_user, &QLineEdit::textEdited, this, [this](const QString& text) {
        editProfile([&text](ProfileSettings& p) { p.transport.user = text; });
    });
    connect(m_sendmailPath, &QLineEdit::textEdited, this, [this](const QString& text) {
        editProfile([&text](ProfileSettings& p) {
            p.transport.sendmailPath = text;
            p.hasTransport = true;
        });
    });
    return tab;
}

void ProfileEditor::bindProfileText(QLineEdit* edit, QString ProfileSettings::*field)
{
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        editProfile([&](ProfileSettings& p) { p.*field = text; });
    });
}

void ProfileEditor::bindStoreText(QLineEdit* edit, QString StoreSettings::*field)
{
    connect(edit, &QLineEdit::textEdited, this, [this, field](const QString& text) {
        editStore([&](StoreSettings& s) { s.*field = text.trimmed(); });
    });
}

int ProfileEditor::currentProfile() const
{
    const int row = m_profileList->currentRow();
    return row >= 0 && row < m_file->profiles().size() ? row : -1;
}

int ProfileEditor::currentStore() const
{
    const int profile = currentProfile();
    const int row = m_storeList->currentRow();
    return profile >= 0 && row >= 0 && row < m_file->profiles()[profile].stores.size() ? row : -1;
}

void ProfileEditor::editProfile(const std::function<void(ProfileSettings&)>& change)
{
    const int index = currentProfile();
    if (m_loading || index < 0) {
        return;
    }
    ProfileSettings details = m_file->profiles()[index];
    change(details);
    m_file->setDetails(index, details);
    setDirty(true);
}

void ProfileEditor::editStore(const std::function<void(StoreSettings&)>& change)
{
    const int store = currentStore();
    if (store >= 0) {
        editProfile([&](ProfileSettings& p) { change(p.stores[store]); });
    }
}

void ProfileEditor::refreshProfiles(int select)
{
    m_loading = true;
    m_profileList->clear();
    for (const ProfileSettings& profile : m_file->profiles()) {
        auto* item = new QListWidgetItem(profile.isDefault ? tr("%1 (default)").arg(profile.name)
                                                           : profile.name);
        QFont font = item->font();
        font.setBold(profile.isDefault);
        item->setFont(font);
        m_profileList->addItem(item);
    }
    m_loading = false;
    m_profileList->setCurrentRow(std::min(select, int(m_profileList->count()) - 1));
    showProfile();
}

void ProfileEditor::showProfile()
{
    if (m_loading) {
        return;
    }
    m_loading = true;
    const int index = currentProfile();
    const ProfileSettings profile = index >= 0 ? m_file->profiles()[index] : ProfileSettings();
    m_identityName->setText(profile.identityName);
    m_identityAddress->setText(profile.identityAddress);
    m_storeList->clear();
    for (const StoreSettings& store : profile.stores) {
        m_storeList->addItem(store.name);
    }
    const TransportSettings& transport = profile.transport;
    m_transportKind->setCurrentIndex(m_transportKind->findData(transport.kind));
    m_host->setText(transport.host);
    m_port->setText(transport.port > 0 ? QString::number(transport.port) : QString());
    m_security->setCurrentIndex(m_security->findData(transport.security));
    m_user->setText(transport.user);
    m_sendmailPath->setText(transport.sendmailPath);
    const auto defaultStore = std::find_if(profile.stores.begin(), profile.stores.end(),
                                           [](const StoreSettings& s) { return s.isDefault; });
    m_loading = false;
    m_storeList->setCurrentRow(int(defaultStore - profile.stores.begin()));
    showStore();
}

void ProfileEditor::showStore()
{
    if (m_loading) {
        return;
    }
    m_loading = true;
    const int profile = currentProfile();
    const int index = currentStore();
    const StoreSettings store =
        index >= 0 ? m_file->profiles()[profile].stores[index] : StoreSettings();
    m_storePath->setText(store.path);
    m_contactsPath->setText(store.contacts);
    m_defaultStore->setChecked(store.isDefault);
    m_outbox->setText(store.outbox);
    m_sentItems->setText(store.sentItems);
    m_deletedItems->setText(store.deletedItems);
    m_drafts->setText(store.drafts);
    m_loading = false;
    updateEnabled();
}

void ProfileEditor::updateEnabled()
{
    const int profile = currentProfile();
    const bool has = profile >= 0;
    m_renameButton->setEnabled(has);
    m_deleteButton->setEnabled(has);
    m_defaultButton->setEnabled(has && !m_file->profiles()[profile].isDefault);
    m_tabs->setEnabled(has);
    const int store = currentStore();
    m_removeStoreButton->setEnabled(store >= 0);
    m_storeDetails->setEnabled(store >= 0);
    m_defaultStore->setEnabled(store >= 0 && !m_defaultStore->isChecked());
    const bool smtp = m_transportKind->currentData().toInt() == TransportSettings::Smtp;
    for (QWidget* w : std::initializer_list<QWidget*>{m_host, m_port, m_security, m_user}) {
        w->setEnabled(smtp);
    }
    m_sendmailPath->setEnabled(!smtp);
}

void ProfileEditor::setDirty(bool dirty)
{
    m_dirty = dirty;
    m_buttons->button(QDialogButtonBox::Apply)->setEnabled(dirty);
}

void ProfileEditor::newProfile()
{
    QString name;
    while (m_prompts.askText(this, tr("New Profile"), tr("Name of the new profile:"), &name)) {
        const QString problem = m_file->addProfile(name.trimmed());
        if (problem.isEmpty()) {
            setDirty(true);
            refreshProfiles(int(m_file->profiles().size()) - 1);
            m_tabs->setCurrentIndex(1); // a profile needs a store before it can be saved
            return;
        }
        m_prompts.showError(this, problem);
    }
}

void ProfileEditor::renameProfile()
{
    const int index = currentProfile();
    if (index < 0) {
        return;
    }
    QString name = m_file->profiles()[index].name;
    while (m_prompts.askText(this, tr("Rename Profile"), tr("New name of the profile:"), &name)) {
        const QString problem = m_file->renameProfile(index, name.trimmed());
        if (problem.isEmpty()) {
            setDirty(true);
            refreshProfiles(index);
            return;
        }
        m_prompts.showError(this, problem);
    }
}

void ProfileEditor::deleteProfile()
{
    const int index = currentProfile();
    if (index < 0 ||
        !m_prompts.confirm(this, tr("Delete the profile '%1'? Its mail folders stay on the disk.")
                                     .arg(m_file->profiles()[index].name))) {
        return;
    }
    m_file->removeProfile(index);
    setDirty(true);
    refreshProfiles(index);
}

void ProfileEditor::setDefaultProfile()
{
    const int index = currentProfile();
    if (index >= 0) {
        m_file->setDefaultProfile(index);
        setDirty(true);
        refreshProfiles(index);
    }
}

void ProfileEditor::addStore()
{
    const int profile = currentProfile();
    if (profile < 0) {
        return;
    }
    QString name;
    while (m_prompts.askText(this, tr("Add Store"), tr("Name of the message store:"), &name)) {
        const QString problem = m_file->addStore(profile, name.trimmed());
        if (problem.isEmpty()) {
            setDirty(true);
            showProfile();
            m_storeList->setCurrentRow(m_storeList->count() - 1);
            m_storePath->setFocus();
            return;
        }
        m_prompts.showError(this, problem);
    }
}

void ProfileEditor::removeStore()
{
    const int store = currentStore();
    if (store >= 0) {
        editProfile([store](ProfileSettings& p) { p.stores.removeAt(store); });
        showProfile();
    }
}

bool ProfileEditor::apply()
{
    const ProfileProblem problem = m_file->validate();
    if (!problem.isEmpty()) {
        if (problem.profile >= 0) {
            m_profileList->setCurrentRow(problem.profile);
        }
        m_prompts.showError(this, problem.message);
        return false;
    }
    QString error;
    if (!m_file->save(&error)) {
        m_prompts.showError(this, error);
        return false;
    }
    setDirty(false);
    return true;
}

void ProfileEditor::accept()
{
    if (!m_dirty || apply()) {
        QDialog::accept();
    }
}

void ProfileEditor::reject()
{
    if (!m_dirty || m_prompts.confirm(this, tr("Discard the changes to the profiles?"))) {
        QDialog::reject();
    }
}

} // namespace vntprofiles
