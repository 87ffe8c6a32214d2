#include "WelcomeMessage.h"

#include "Maildir.h"
#include "MessageWriter.h"

#include <glib.h>

namespace vntmapi {

namespace {

constexpr char kWelcomeBody[] =
    "Welcome to Vantrel!\n"
    "\n"
    "Vantrel helps you answer customer e-mail. Your mail is on the left; prepared\n"
    "answers (topic files) and a small support database of jobs and knowledge\n"
    "entries sit beside it, so most replies take only a few clicks.\n"
    "\n"
    "This message is in your new local mail store. Read it, reply to it or file\n"
    "it away to get a feel for the program.\n"
    "\n"
    "Try the demonstration\n"
    "  Run \"vantrel --demo DIR\" to open a complete example in the folder DIR:\n"
    "  customer messages, topic files and a support database. Your own mail\n"
    "  and settings are not touched.\n"
    "\n"
    "Set up your mail\n"
    "  Enter your name, e-mail address and mail server with the profile editor\n"
    "  \"vntmapi-profiles\", or in Vantrel under File > Preferences.\n"
    "\n"
    "Help\n"
    "  Press F1 wherever you are, or choose Help > Help Topics.\n"
    "\n"
    "Happy answering,\n"
    "Vantrel\n";

// Mail dates are English whatever the user's language, so they are not left to strftime.
std::string mailDate(std::time_t now)
{
    static const char* const kDays[] = {"Sun", "Mon", "Tue", "Wed", "Thu", "Fri", "Sat"};
    static const char* const kMonths[] = {"Jan", "Feb", "Mar", "Apr", "May", "Jun",
                                          "Jul", "Aug", "Sep", "Oct", "Nov", "Dec"};
    std::tm local{};
    localtime_r(&now, &local);
    const long offset = local.tm_gmtoff / 60;
    const long minutes = offset < 0 ? -offset : offset;
    gchar* text = g_strdup_printf("%s, %02d %s %04d %02d:%02d:%02d %c%02ld%02ld",
                                  kDays[local.tm_wday], local.tm_mday, kMonths[local.tm_mon],
                                  local.tm_year + 1900, local.tm_hour, local.tm_min, local.tm_sec,
                                  offset < 0 ? '-' : '+', minutes / 60, minutes % 60);
    std::string result = text;
    g_free(text);
    return result;
}

} // namespace

std::string welcomeMessageText(std::time_t now)
{
    gchar* uuid = g_uuid_string_random();
    const std::string messageId = std::string("<welcome.") + uuid + "@vantrel.invalid>";
    g_free(uuid);
    return "From: Vantrel <welcome@vantrel.invalid>\n"
           "To: undisclosed-recipients:;\n"
           "Subject: Welcome to Vantrel\n"
           "Date: " +
           mailDate(now) + "\nMessage-ID: " + messageId +
           "\n"
           "MIME-Version: 1.0\n"
           "Content-Type: text/plain; charset=utf-8\n"
           "Content-Transfer-Encoding: 8bit\n"
           "\n" +
           kWelcomeBody;
}

bool writeWelcomeMessage(const std::string& storeDir)
{
    return SUCCEEDED(
        deliverMessageBytes(storeDir, newUniqueName(), welcomeMessageText(std::time(nullptr)), ""));
}

} // namespace vntmapi
