// What the database parts need of the workspace: the record, search and e-mail controls of
// the "Database" and "Knowledge base" tabs, the tabs themselves, the shared labels, the
// outgoing message and the view's timers.
#pragma once

#include <QString>
#include <QStringList>

class QWidget;

namespace vantrel::database {

class DatabaseHost
{
public:
    static constexpr int kDatabaseTab = 4;
    static constexpr int kKnowledgeTab = 5;
    static constexpr int kSelector = 1046;
    static constexpr int kCriteriaBox = 1034;
    static constexpr int kSearchText = 1035;
    static constexpr int kSearchFrom = 1072;
    static constexpr int kSearchTo = 1073;
    static constexpr int kSelectedName = 1004;
    static constexpr int kSelectedAddress = 1005;
    static constexpr int kRequeryKnowledgeTimer = 2760;
    static constexpr int kRequeryJobsTimer = 2763;

    virtual ~DatabaseHost() = default;

    // Owner of the notices and the dialogs.
    virtual QWidget* hostWidget() = 0;
    // The workspace control with the given id, or nullptr.
    virtual QWidget* recordControl(int controlId) const = 0;
    // The tab in front, and selecting a tab as a click on it would (the tab control takes
    // the focus).
    virtual int currentTab() = 0;
    virtual void showTab(int tab) = 0;
    // The field captions of `tab` (label slots 0 onwards), shown at once when it is in front.
    virtual void setFieldCaptions(int tab, const QStringList& captions) = 0;
    // Refills the shared selector when a record tab is in front.
    virtual void refillCriteria() = 0;
    // Shows and hides the search-line controls of the "Database" tab as the search asks.
    virtual void refreshSearchLine() = 0;
    // "Auto record update".
    virtual bool autoRecordUpdate() const = 0;
    // The outgoing message: its format (0 plain, 1 rich) and adding text at its caret.
    virtual int outgoingFormat() const = 0;
    virtual void transferToOutgoing(const QString& text, int rich) = 0;
    // The subject of the message read last (at most 253 characters).
    virtual QString lastReadSubject() = 0;
    // The view's one-shot timers 2760 and 2763.
    virtual void startViewTimer(int timerId, int milliseconds) = 0;
};

} // namespace vantrel::database
