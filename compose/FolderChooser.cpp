#include "compose/FolderChooser.h"

#include "compose/ComposeHost.h"
#include "compose/OutgoingState.h"
#include "core/MessageHelpers.h"
#include "core/Prompter.h"
#include "mail/MailController.h"
#include "mail/MapiRows.h"

#include <QDialogButtonBox>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantrel::compose {

namespace {

constexpr int kMsgNoFolders = 20001;
constexpr int kMsgOpenFolderFailed = 20004;
constexpr int kMsgImapFolder = 20156;
constexpr int kMsgImapSuffix = 25608;
constexpr int kMsgContactsSuffix = 25714;
constexpr int kDefaultSelection = 2;

struct PurposeTexts
{
    int title;
    int prompt;
    const char16_t* ok;
    const char16_t* cancel; // nullptr: no Cancel button
};

PurposeTexts textsFor(FolderPurpose purpose)
{
    switch (purpose) {
    case FolderPurpose::Post:
        return {25600, 25601, u"P&ost message", u"Cancel"};
    case FolderPurpose::Save:
        return {25602, 25603, u"&Save message", nullptr};
    case FolderPurpose::Move:
        return {25604, 25605, u"M&ove", u"Cancel"};
    case FolderPurpose::Copy:
        return {25606, 25607, u"C&opy", u"Cancel"};
    case FolderPurpose::Delete:
        return {25710, 25711, u"&To Selected Folder", u"&Trash message"};
    }
    return {25600, 25601, u"P&ost message", u"Cancel"};
}

int usabilityOf(mail::FolderClass folderClass)
{
    if (folderClass == mail::FolderClass::Imap)
        return FolderImap;
    return folderClass == mail::FolderClass::Contacts ? FolderContacts : FolderUsable;
}

} // namespace

CFolderChooserDlg::CFolderChooserDlg(const QStringList& names, const QList<int>& usability,
                                     FolderPurpose purpose, int selectedIndex, QWidget* parent)
    : QDialog(parent)
    , m_usability(usability)
    , m_selected(selectedIndex)
{
    const PurposeTexts texts = textsFor(purpose);
    setWindowTitle(MessageText(texts.title));
    auto* prompt = new QLabel(MessageText(texts.prompt), this);
    prompt->setObjectName(QStringLiteral("c1170"));
    m_list = new QListWidget(this);
    m_list->setObjectName(QStringLiteral("c1108"));
    prompt->setBuddy(m_list);
    for (int i = 0; i < names.size(); ++i) {
        QString line = names.at(i);
        if (usability.value(i) == FolderImap)
            line += MessageText(kMsgImapSuffix);
        else if (usability.value(i) == FolderContacts)
            line += MessageText(kMsgContactsSuffix);
        m_list->addItem(line);
    }
    // The first usable folder when the first is not, else the selection asked for.
    int initial = 0;
    if (usability.value(0) == FolderUsable) {
        initial = qBound(0, selectedIndex, int(names.size()) - 1);
    } else {
        const qsizetype usable = usability.indexOf(FolderUsable);
        initial = usable < 0 ? 0 : int(usable);
        if (usable >= 0)
            m_selected = initial;
    }
    m_list->setCurrentRow(initial);
    connect(m_list, &QListWidget::currentRowChanged, this, &CFolderChooserDlg::onRowChanged);
    connect(m_list, &QListWidget::itemActivated, this, [this] {
        if (m_usability.value(m_list->currentRow()) == FolderUsable)
            accept();
    });

    auto* buttons = new QDialogButtonBox(this);
    QPushButton* ok =
        buttons->addButton(QString::fromUtf16(texts.ok), QDialogButtonBox::AcceptRole);
    ok->setObjectName(QStringLiteral("c1"));
    ok->setDefault(true);
    if (texts.cancel) {
        QPushButton* cancel =
            buttons->addButton(QString::fromUtf16(texts.cancel), QDialogButtonBox::RejectRole);
        cancel->setObjectName(QStringLiteral("c2"));
    }
    connect(buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(prompt);
    layout->addWidget(m_list);
    layout->addWidget(buttons);
    resize(360, 320);
}

void CFolderChooserDlg::onRowChanged(int row)
{
    if (row < 0)
        return;
    if (m_usability.value(row) != FolderUsable) {
        // An unusable folder cannot be chosen: the previous line comes back.
        const QSignalBlocker block(m_list);
        m_list->setCurrentRow(m_selected);
        return;
    }
    m_selected = row;
}

int ChooseFolder(OutgoingState& state, bool noOpen, FolderPurpose purpose, int* sequence)
{
    QWidget* view = state.host().hostWidget();
    const QList<mail::FolderRecord>& records = state.mail().folders().records();
    if (records.isEmpty()) {
        ShowViewMessage(view, kMsgNoFolders, TitleInformation);
        return ChooseFailed;
    }
    QStringList names;
    QList<int> usability;
    int drafts = -1;
    int deleted = -1;
    for (const mail::FolderRecord& record : records) {
        if (drafts < 0 && record.name.compare(u"drafts", Qt::CaseInsensitive) == 0)
            drafts = int(names.size());
        if (deleted < 0 && record.name.compare(u"Deleted Items", Qt::CaseInsensitive) == 0)
            deleted = int(names.size());
        names.append(record.name);
        usability.append(usabilityOf(record.folderClass));
    }
    int initial = kDefaultSelection;
    if (purpose == FolderPurpose::Save)
        initial = qMax(0, drafts);
    else if (purpose == FolderPurpose::Delete)
        initial = qMax(0, deleted);

    CFolderChooserDlg dialog(names, usability, purpose, initial, view);
    if (Prompter::current().runDialog(dialog) != QDialog::Accepted)
        return ChooseCancelled;
    const mail::FolderRecord& chosen =
        records.at(qBound(0, dialog.selectedIndex(), int(records.size()) - 1));
    if (chosen.folderClass == mail::FolderClass::Imap) {
        ShowViewMessage(view, kMsgImapFolder, TitleWarning);
        return ChooseFailed;
    }
    IMsgStore* store = state.mail().session().store(chosen.storeSlot);
    if (chosen.storeSlot >= state.mail().session().storeCount() || !store) {
        ShowViewMessage(view, kMsgOpenFolderFailed, TitleInformation);
        return ChooseFailed;
    }
    if (!noOpen) {
        MapiPtr<IMAPIFolder> folder = mail::OpenFolder(store, chosen.entryId);
        if (!folder) {
            ShowViewMessage(view, kMsgOpenFolderFailed, TitleInformation);
            return ChooseFailed;
        }
        state.chosenFolder() = std::move(folder);
    }
    if (sequence)
        *sequence = chosen.sequence;
    return ChooseChosen;
}

} // namespace vantrel::compose
