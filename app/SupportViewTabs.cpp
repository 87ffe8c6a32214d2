// Tab switching: the layout table, the shared labels and selector, focus memory and the
// mark-as-read wait.

#include "CSupportView.h"
#include "CTextBox.h"
#include "core/StringTable.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>

namespace {

constexpr int kTransferButtons[] = {1055, 1056, 1057};

// Controls that take the focus on a tab never visited before.
constexpr std::array<int, WorkspaceTab::Count> kFirstFocus = {1011, 1002, 1001, 1000,
                                                              1004, 1035, 1001, 1003};

constexpr int kCriteriaDropWidth = 260;
constexpr int kPathDropWidth = 500;

QString transferCaption(int id, const char16_t* fallback)
{
    return StringTable::instance().text(id, QString::fromUtf16(fallback));
}

} // namespace

int CSupportView::currentTab()
{
    const int selected = m_tabs->currentIndex();
    if (selected >= 0 && selected < WorkspaceTab::Count)
        m_currentTab = selected;
    return m_currentTab;
}

void CSupportView::SelectTab(int tab)
{
    if (tab == m_tabs->currentIndex())
        OnTabChange();
    else
        m_tabs->setCurrentIndex(tab);
}

int CSupportView::focusedControlId() const
{
    for (QWidget* w = QApplication::focusWidget(); w && w != this; w = w->parentWidget()) {
        const int id = w->property("controlId").toInt();
        if (id != 0 && m_controls.value(id) == w)
            return id;
    }
    return 0;
}

void CSupportView::OnTabChange()
{
    const int leaving = m_shownTab;
    const int focused = focusedControlId();
    if (focused != 0 && focused != kTabControlId)
        m_focusMemory[static_cast<size_t>(leaving)] = focused;
    const int next = currentTab();
    m_shownTab = next;
    updateMarkReadWait(leaving, next);

    setUpdatesEnabled(false);
    applyLayout(next);
    if ((next == WorkspaceTab::CreateReply || next == WorkspaceTab::SendEmail) &&
        OutgoingFormat() == 0) {
        if (CTextBox* outgoing = textBox(TextStreams::kOutgoingBox))
            outgoing->ApplyFixedWidth(next);
    }
    setUpdatesEnabled(true);
    restoreFocus(next);
}

void CSupportView::updateMarkReadWait(int leaving, int next)
{
    if (!m_waitSuspended) {
        if (m_waitArmed && next != WorkspaceTab::EmailFolders && next != WorkspaceTab::ReadEmail) {
            m_timers.stop(ViewTimers::kMarkAsRead);
            m_waitSuspended = true;
        } else if ((leaving == WorkspaceTab::Database || leaving == WorkspaceTab::KnowledgeBase) &&
                   next != leaving && m_settings.autoRecordUpdate &&
                   m_workspaceHooks.updateCurrentRecord) {
            m_workspaceHooks.updateCurrentRecord(leaving);
        }
        return;
    }
    if (!m_waitArmed) {
        m_waitSuspended = false;
    } else if (next == WorkspaceTab::ReadEmail ||
               (next == WorkspaceTab::EmailFolders && previewOn())) {
        m_waitSuspended = false;
        m_timers.start(ViewTimers::kMarkAsRead, kMarkReadDelay);
    }
}

void CSupportView::restoreFocus(int tab)
{
    int id = m_focusMemory[static_cast<size_t>(tab)];
    if (id == 0)
        id = kFirstFocus[static_cast<size_t>(tab)];
    QWidget* target = control(id);
    if (target && target->isVisible() && target->isEnabled())
        target->setFocus(Qt::OtherFocusReason);
}

void CSupportView::placeControl(int id, int tab, const QPoint& origin)
{
    QWidget* widget = control(id);
    if (!widget)
        return;
    const WorkspaceLayout::Cell& cell = m_layout.cell(id, tab);
    widget->setGeometry(cell.rect.translated(origin));
}

void CSupportView::applyLayout(int tab)
{
    const QPoint origin = contentsRect().topLeft();
    for (int id = WorkspaceLayout::kFirstId;
         id < WorkspaceLayout::kFirstId + WorkspaceLayout::kRowCount; ++id) {
        QWidget* widget = control(id);
        if (!widget)
            continue;
        if (tab == WorkspaceTab::Database && WorkspaceLayout::isSearchLineControl(id))
            continue;
        const WorkspaceLayout::Cell& cell = m_layout.cell(id, tab);
        if (cell.visible) {
            widget->setGeometry(cell.rect.translated(origin));
            widget->setEnabled(true);
            widget->show();
        } else {
            widget->setEnabled(false);
            widget->hide();
        }
    }
    if (tab == WorkspaceTab::Database)
        placeSearchLine(origin);
    setTransferCaptions(tab);
    for (int slot = 0; slot < kLabelSlots; ++slot) {
        if (auto* label = qobject_cast<QLabel*>(control(labelControl(slot))))
            label->setText(labelText(tab, slot));
    }
    if ((tab == WorkspaceTab::Database || tab == WorkspaceTab::KnowledgeBase) &&
        m_workspaceHooks.showRecords)
        m_workspaceHooks.showRecords(tab);
    refillSelector(tab);
}

void CSupportView::placeSearchLine(const QPoint& origin)
{
    for (int id = WorkspaceLayout::kFirstId;
         id < WorkspaceLayout::kFirstId + WorkspaceLayout::kRowCount; ++id) {
        QWidget* widget = control(id);
        if (!widget || !WorkspaceLayout::isSearchLineControl(id))
            continue;
        const bool shown =
            m_workspaceHooks.searchLineVisible && m_workspaceHooks.searchLineVisible(id);
        widget->setGeometry(m_layout.searchLinePlace(id).translated(origin));
        widget->setEnabled(shown);
        widget->setVisible(shown);
    }
}

void CSupportView::setTransferCaptions(int tab)
{
    std::array<QString, 3> captions;
    if (tab == WorkspaceTab::Database) {
        captions = {transferCaption(25010, u"Transfer &Problem to email"),
                    transferCaption(25013, u"Transfer sol&ution to email"),
                    transferCaption(25014, u"Transfer N&otes to email")};
    } else if (tab == WorkspaceTab::KnowledgeBase) {
        const QString note = labelText(tab, 7);
        captions = {note + StringTable::instance().text(25011),
                    note + StringTable::instance().text(25012),
                    note + StringTable::instance().text(25015)};
    } else {
        return;
    }
    for (size_t i = 0; i < captions.size(); ++i) {
        if (auto* button = qobject_cast<QPushButton*>(control(kTransferButtons[i])))
            button->setText(captions[i]);
    }
}

void CSupportView::refillSelector(int tab)
{
    QComboBox* combo = selector();
    if (!combo)
        return;
    if (tab == WorkspaceTab::Database || tab == WorkspaceTab::KnowledgeBase) {
        if (m_workspaceHooks.fillCriteria) {
            m_workspaceHooks.fillCriteria(combo, tab);
        } else {
            const QSignalBlocker quiet(combo);
            combo->clear();
        }
        combo->view()->setMinimumWidth(kCriteriaDropWidth);
    } else if (tab == WorkspaceTab::CreateReply || tab == WorkspaceTab::CreateTopicFile) {
        const QSignalBlocker quiet(combo);
        combo->clear();
        combo->addItems(m_doc.supportPathList());
        combo->setCurrentIndex(m_doc.currentPathIndex());
        combo->view()->setMinimumWidth(kPathDropWidth);
    }
}

void CSupportView::OnPreviewSwitch()
{
    m_settings.previewOn = previewOn() ? 0 : 1;
    m_layout.setPreview(previewOn());
    if (m_shownTab == WorkspaceTab::EmailFolders) {
        const QPoint origin = contentsRect().topLeft();
        for (int id : {1006, 1011})
            placeControl(id, WorkspaceTab::EmailFolders, origin);
        if (QWidget* read = control(TextStreams::kReadBox)) {
            placeControl(TextStreams::kReadBox, WorkspaceTab::EmailFolders, origin);
            read->setEnabled(previewOn());
            read->setVisible(previewOn());
        }
    }
    if (previewOn() && m_waitArmed) {
        m_waitSuspended = false;
        m_timers.start(ViewTimers::kMarkAsRead, kMarkReadDelay);
    }
}

void CSupportView::ArmMarkReadWait()
{
    m_waitArmed = true;
    m_timers.start(ViewTimers::kMarkAsRead, kMarkReadDelay);
}

void CSupportView::OnMarkReadTimer()
{
    const int tab = currentTab();
    if (tab == WorkspaceTab::EmailFolders && !previewOn())
        return; // stays armed until the preview shows the message
    m_waitArmed = false;
    const int selected =
        m_workspaceHooks.selectedMessageCount ? m_workspaceHooks.selectedMessageCount() : 0;
    if (selected == 1 && (tab == WorkspaceTab::ReadEmail || tab == WorkspaceTab::EmailFolders)) {
        if (m_workspaceHooks.markSelectedRead)
            m_workspaceHooks.markSelectedRead();
        m_waitSuspended = false;
    }
}
