#include "PreferencesSheet.h"

#include "CSupportView.h"
#include "CTextBox.h"
#include "ColumnPage.h"
#include "MailProfilePage.h"
#include "MailSetupPage.h"
#include "compose/ComposeController.h"
#include "database/DatabaseController.h"
#include "database/DatabasePage.h"
#include "mail/MailController.h"
#include "mail/MessageColumns.h"
#include "mail/MessageListView.h"
#include "notepad/CalendarPage.h"
#include "print/PageSetupPage.h"
#include "topics/TopicController.h"
#include "topics/TopicPathsPage.h"

#include <QDialogButtonBox>
#include <QPushButton>
#include <QShortcut>
#include <QTabWidget>
#include <QTreeView>
#include <QVBoxLayout>

using vantrel::mail::FolderClass;
using vantrel::mail::FolderRecord;
using vantrel::mail::MailController;

namespace {

constexpr int kMessageList = 1011;

// The folder whose message list is open; with none, the kind of any other folder.
ColumnPageInput columnPageInput(const CSupportDoc& doc, MailController& mail)
{
    ColumnPageInput input;
    if (const FolderRecord* folder = mail.currentFolder()) {
        input.kind = vantrel::mail::MaskKindOf(folder->folderClass);
        input.contacts = folder->folderClass == FolderClass::Contacts;
    }
    // The list reads its kind's mask at every opening, so that is the folder's mask.
    input.mask = doc.columnMask(input.kind);
    const WidthList list = input.contacts ? WidthList::Contacts : WidthList::Messages;
    const vantrel::mail::ColumnTable& table = mail.messages().columnTable();
    for (int column = 0; column < kColumnCount; ++column) {
        input.widths[static_cast<size_t>(column)] = doc.columnWidth(column, list);
        input.names[static_cast<size_t>(column)] = table.variant(column, input.contacts).name;
    }
    return input;
}

} // namespace

int PreferencesSheet::startPageForTab(int tab)
{
    switch (tab) {
    case WorkspaceTab::EmailFolders:
    case WorkspaceTab::ReadEmail:
    case WorkspaceTab::SendEmail:
        return MailSetupPage;
    case WorkspaceTab::CreateReply:
    case WorkspaceTab::CreateTopicFile:
        return TopicPathsPage;
    case WorkspaceTab::Database:
    case WorkspaceTab::KnowledgeBase:
        return DatabasePage;
    default:
        return CalendarPage;
    }
}

int PreferencesSheet::shownIndex(int startPage, bool columnPagePresent)
{
    if (columnPagePresent)
        return startPage;
    if (startPage == CalendarPage || startPage == TopicPathsPage)
        return startPage - 1;
    return startPage == PageSetupPage ? MailProfilePage : startPage;
}

PreferencesSheet::PreferencesSheet(CSupportView& view, CSupportDoc& doc, int startPage,
                                   QWidget* parent)
    : QDialog(parent)
    , m_view(view)
    , m_doc(doc)
{
    setObjectName(QStringLiteral("preferencesSheet"));
    setWindowTitle(QStringLiteral("Preferences"));
    m_tabs = new QTabWidget(this);
    m_tabs->setObjectName(QStringLiteral("preferencesPages"));
    // Every page's tab in sight: the sheet grows to show them all.
    m_tabs->setUsesScrollButtons(false);
    addPages();

    m_buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
    // Enter and Escape answer the sheet; mnemonics on them would compete with the pages'.
    m_buttons->button(QDialogButtonBox::Ok)->setText(QStringLiteral("OK"));
    m_buttons->button(QDialogButtonBox::Cancel)->setText(QStringLiteral("Cancel"));
    connect(m_buttons, &QDialogButtonBox::accepted, this, &QDialog::accept);
    connect(m_buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);

    // Ctrl+Tab and Ctrl+Shift+Tab turn the pages from anywhere in the sheet, the buttons too.
    const auto turn = [this](int step) {
        const int count = m_tabs->count();
        m_tabs->setCurrentIndex((m_tabs->currentIndex() + step + count) % count);
    };
    connect(new QShortcut(QKeySequence::NextChild, this), &QShortcut::activated, this,
            [turn] { turn(1); });
    connect(new QShortcut(QKeySequence::PreviousChild, this), &QShortcut::activated, this,
            [turn] { turn(-1); });

    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_tabs);
    layout->addWidget(m_buttons);
    m_tabs->setCurrentIndex(shownIndex(startPage, m_columns != nullptr));
}

PreferencesSheet::~PreferencesSheet() = default;

void PreferencesSheet::addPages()
{
    const ViewSettings& settings = m_view.workingSettings();
    const DatabasePageInput database =
        m_view.database() ? m_view.database()->pageInput() : DatabasePageInput{};
    const auto outgoing =
        m_view.compose() ? m_view.compose()->state().mode() : vantrel::compose::OutgoingMode::None;
    m_database = new cproppage1(m_doc, settings, database, m_tabs);
    m_mailSetup = new cproppage2(m_doc, settings, outgoing, m_tabs);
    if (MailController* mail = m_view.mail(); mail && mail->isLoggedOn())
        m_columns = new cproppage3(columnPageInput(m_doc, *mail), m_tabs);
    m_calendar = new cdialprop4(settings, m_tabs);
    m_topicPaths = new cproppage5(m_doc, m_tabs);
    m_profile = new cproppage6(m_doc, m_tabs);
    m_pageSetup = new cproppage7(m_doc, m_tabs);
    QWidget* const pages[] = {m_database,   m_mailSetup, m_columns,  m_calendar,
                              m_topicPaths, m_profile,   m_pageSetup};
    for (QWidget* page : pages) {
        if (page)
            m_tabs->addTab(page, page->windowTitle());
    }
}

void PreferencesSheet::apply()
{
    ViewSettings& settings = m_view.workingSettings();
    const DatabasePageChanges sortChanges = m_database->apply(m_doc, settings);
    if (vantrel::database::DatabaseController* database = m_view.database())
        database->ApplySortChanges(sortChanges);
    m_profile->apply(m_doc);
    applyTopicPaths();
    m_pageSetup->apply(m_doc);
    applyWrapLength();
    m_mailSetup->applyMailFlags(m_doc, settings);
    if (m_calendar->apply(settings)) {
        m_doc.setIntSetting(MonthStyle, settings.monthStyle);
        if (m_view.workspaceHooks().applyCalendarStyle)
            m_view.workspaceHooks().applyCalendarStyle(settings.monthStyle);
    }
    applyGrid();
    applyColumns();
}

void PreferencesSheet::applyTopicPaths()
{
    if (!m_topicPaths->apply(m_doc))
        return;
    m_doc.RebuildSupportPathList();
    if (TopicController* topics = m_view.topics())
        topics->Refresh();
    const int tab = m_view.currentTab();
    if (tab == WorkspaceTab::CreateReply || tab == WorkspaceTab::CreateTopicFile)
        m_view.RefillSelector();
}

void PreferencesSheet::applyWrapLength()
{
    if (!m_mailSetup->applyWrapLength(m_doc))
        return;
    CTextBox* box = m_view.textBox(TextStreams::kOutgoingBox);
    if (!box)
        return;
    box->SetWrapLength(m_doc.intSetting(PlainWrapLength));
    const int tab = m_view.currentTab();
    if ((tab == WorkspaceTab::CreateReply || tab == WorkspaceTab::SendEmail) &&
        m_view.OutgoingFormat() == 0)
        box->ApplyFixedWidth(tab);
}

void PreferencesSheet::applyGrid()
{
    if (!m_mailSetup->applyGrid(m_doc, m_view.workingSettings()))
        return;
    auto* list = qobject_cast<QTreeView*>(m_view.control(kMessageList));
    if (!list)
        return;
    if (auto* delegate = qobject_cast<vantrel::mail::MessageListDelegate*>(list->itemDelegate()))
        delegate->setGrid(m_view.gridOn());
    list->viewport()->update();
}

void PreferencesSheet::applyColumns()
{
    MailController* mail = m_view.mail();
    if (!m_columns || !mail)
        return;
    bool rebuild = false;
    if (m_columns->widthsChanged()) {
        const WidthList list = m_columns->contacts() ? WidthList::Contacts : WidthList::Messages;
        for (int column = 0; column < kColumnCount; ++column)
            m_doc.setColumnWidth(column, m_columns->widths()[static_cast<size_t>(column)], list);
        // The list takes its widths from the column table it built at logon.
        mail->messages().buildColumnTable();
        rebuild = true;
    }
    if (m_columns->maskChanged()) {
        m_doc.setColumnMask(m_columns->kind(), m_columns->mask());
        rebuild = true;
    }
    if (!rebuild || !mail->currentFolder())
        return;
    QWidget* list = mail->messages().view();
    const bool drawing = list && list->updatesEnabled();
    if (list)
        list->setUpdatesEnabled(false);
    mail->reopenCurrentFolder();
    if (list)
        list->setUpdatesEnabled(drawing);
}
