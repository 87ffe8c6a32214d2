// The commands that open the Preferences sheet, each on its own page.

#include "CSupportView.h"
#include "PreferencesSheet.h"
#include "core/CommandRouter.h"
#include "core/Prompter.h"

namespace {

struct PreferencesCommand
{
    int id;
    int startPage; // -1: by the tab in front
};

constexpr PreferencesCommand kPreferencesCommands[] = {
    {32828, -1},                               // "Pre&ferences..."
    {32854, PreferencesSheet::MailSetupPage},  // for mail, and the folder tree's
    {32855, PreferencesSheet::DatabasePage},   // for database
    {32831, PreferencesSheet::DatabasePage},   // the message list's
    {32883, PreferencesSheet::TopicPathsPage}, // the topic tree's
    {32893, PreferencesSheet::PageSetupPage},  // "Print page Set&up..."
};

} // namespace

void CSupportView::bindPreferences(CommandRouter& router)
{
    for (const PreferencesCommand& command : kPreferencesCommands) {
        router.bind(command.id, [this, page = command.startPage] {
            OnPreferences(page >= 0 ? page : PreferencesSheet::startPageForTab(currentTab()));
        });
    }
}

void CSupportView::OnPreferences(int startPage)
{
    m_preferencesPage = startPage;
    {
        PreferencesSheet sheet(*this, m_doc, m_preferencesPage, this);
        if (Prompter::current().runDialog(sheet) == QDialog::Accepted)
            sheet.apply();
    }
    m_preferencesPage = PreferencesSheet::kDefaultStartPage;
}
