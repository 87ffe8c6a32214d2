#include "mail/DesktopClient.h"

#include "core/Prompter.h"
#include "shell/Shell.h"

using namespace Qt::StringLiterals;

namespace vantrel::mail {

namespace {

// The shell's answers that the user is told about in words of their own.
QString problemText(std::intptr_t result)
{
    switch (result) {
    case 0:
        return u"The system is out of memory or resources."_s;
    case 2:
        return u"Outlook not found."_s;
    case 3:
        return u"Outlook's program  path was not found."_s;
    case 26:
        return u"A sharing violation occurred."_s;
    case 27:
        return u"The filename association is incomplete or invalid."_s;
    case 31:
        return u"This file does not have a program associated with it "_s;
    default:
        return u"Unknown error occurred."_s;
    }
}

} // namespace

bool OpenDesktopClient(QWidget* view)
{
    if (vnt::shell::isTopLevelWindowOpen(u"Microsoft Outlook"_s))
        return false;
    const std::intptr_t result = vnt::shell::shellExecute(QString(), u"outlook.exe"_s, QString(),
                                                          QString(), vnt::shell::SW_SHOWNORMAL);
    if (result <= 32) {
        Prompter::current().warning(view, u"Problem finding Outlook"_s, problemText(result));
        return false;
    }
    return true;
}

} // namespace vantrel::mail
