#pragma once

#include <functional>

class QComboBox;

// What the workspace asks of the mail, database and topic parts while it switches tabs
// and runs its timers. Each part sets its own; an unset hook means the part has
// nothing to do there yet.
struct WorkspaceHooks
{
    // Database records: write the record shown on `tab` before leaving it ("Auto record
    // update"), and refresh the record display when `tab` is shown with its table open.
    std::function<void(int tab)> updateCurrentRecord;
    std::function<void(int tab)> showRecords;
    // Search line of the "Database" tab: whether control `id` is shown.
    std::function<bool(int id)> searchLineVisible;
    // Fill the shared selector with the search criteria of `tab` and select the current one.
    std::function<void(QComboBox* selector, int tab)> fillCriteria;
    // Fill the priority and status boxes at start-up.
    std::function<void()> fillRecordChoices;
    // Calendar colours ("Month style").
    std::function<void(int style)> applyCalendarStyle;
    // Mark-as-read wait: the number of selected messages, and marking the selected one.
    std::function<int()> selectedMessageCount;
    std::function<void()> markSelectedRead;
    // Delayed re-queries after a sort change.
    std::function<void()> requeryKnowledge;
    std::function<void()> requeryJobs;
};
