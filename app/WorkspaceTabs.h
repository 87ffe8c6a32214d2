#pragma once

// The eight tabs of the workspace, by index (F2 to F9).
namespace WorkspaceTab {
enum Index : int {
    EmailFolders = 0,
    ReadEmail,
    CreateReply,
    SendEmail,
    Database,
    KnowledgeBase,
    CreateTopicFile,
    NotePadCalendar,
    Count
};
} // namespace WorkspaceTab
