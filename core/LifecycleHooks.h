#pragma once

#include <functional>

// Operations of the mail, database and notepad parts that take part in start-up and
// shut-down. Each part sets its own when it is created; an unset hook means the part
// has nothing to do (for instance, no mail session can be open without a mail part).
struct LifecycleHooks
{
    // Mail session (logon, logoff and the outgoing message).
    std::function<bool()> isLoggedOn;
    std::function<bool()> isComposing;
    std::function<void()> stopMessage;
    std::function<void()> logon;
    std::function<void()> logoff;
    std::function<void()> unloadMailPlatform;
    // Database.
    std::function<void()> connectDatabase;
    // Notepad.
    std::function<void()> loadNotepad;
    std::function<void()> saveNotepadIfModified;

    static bool ask(const std::function<bool()>& hook) { return hook && hook(); }
    static void run(const std::function<void()>& hook)
    {
        if (hook)
            hook();
    }
};
