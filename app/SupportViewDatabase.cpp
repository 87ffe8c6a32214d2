// The workspace as the support database sees it: the record tabs' controls, labels and
// search line, and the hooks through which tab changes and timers reach the database.

#include "CSupportView.h"
#include "compose/ComposeController.h"
#include "core/LifecycleHooks.h"
#include "database/DatabaseController.h"
#include "mail/MailController.h"

#include <QComboBox>
#include <QLabel>
#include <QTabBar>

void CSupportView::createDatabase(CommandRouter& router)
{
    using vantrel::database::DatabaseController;
    m_database = std::make_unique<DatabaseController>(m_doc, *this, m_doc.programDirectory());
    m_database->connectControls();
    m_database->bindCommands(router);
    DatabaseController* db = m_database.get();
    m_hooks.connectDatabase = [db] {
        db->ConnectDatabase();
    };
    m_workspaceHooks.updateCurrentRecord = [db](int tab) {
        db->OnLeavingTab(tab);
    };
    m_workspaceHooks.showRecords = [db](int tab) {
        db->OnTabShown(tab);
    };
    m_workspaceHooks.searchLineVisible = [db](int id) {
        return db->searchLineVisible(id);
    };
    m_workspaceHooks.fillCriteria = [db](QComboBox* selector, int tab) {
        db->FillCriteria(selector, tab);
    };
    m_workspaceHooks.fillRecordChoices = [db] {
        db->fillRecordChoices();
    };
    m_workspaceHooks.requeryJobs = [db] {
        db->RequeryJobs();
    };
    m_workspaceHooks.requeryKnowledge = [db] {
        db->RequeryKnowledge();
    };
}

void CSupportView::showTab(int tab)
{
    SelectTab(tab);
    m_tabs->setFocus(Qt::OtherFocusReason);
}

void CSupportView::setFieldCaptions(int tab, const QStringList& captions)
{
    for (int slot = 0; slot < captions.size() && slot < kLabelSlots; ++slot) {
        setLabelText(tab, slot, captions.at(slot));
        if (tab == m_shownTab) {
            if (auto* label = qobject_cast<QLabel*>(control(labelControl(slot))))
                label->setText(captions.at(slot));
        }
    }
}

void CSupportView::refillCriteria()
{
    if (m_shownTab == WorkspaceTab::Database || m_shownTab == WorkspaceTab::KnowledgeBase)
        refillSelector(m_shownTab);
}

void CSupportView::refreshSearchLine()
{
    if (m_shownTab == WorkspaceTab::Database)
        placeSearchLine(contentsRect().topLeft());
}

QString CSupportView::lastReadSubject()
{
    return m_mail ? m_mail->reader().state().subject : QString();
}

void CSupportView::startViewTimer(int timerId, int milliseconds)
{
    m_timers.start(timerId, milliseconds);
}
