#pragma once

#include <QHash>
#include <QString>
#include <optional>

// Context-sensitive help: turning a control's or command's help context into a topic
// and a topic into one of the help pages shipped with the program.

// Help context of a control or command: 0x10000 plus its id.
constexpr int kHelpContextBase = 0x10000;
// The context of a point in the workspace with no control under it.
constexpr int kNoControlContext = 0x10065;
constexpr int kSelectorContext = kHelpContextBase + 1046;
constexpr int kSearchButtonContext = kHelpContextBase + 1036;

// The topic for a context request made while `currentTab` is shown; nullopt shows
// nothing. The shared selector and the search button mean different things by tab.
std::optional<int> helpTopicForContext(int context, int currentTab);

// The topic of the page that explains workspace tab `tab` (F1 shows it); tabs outside
// 0..7 give the first tab's.
constexpr int kTabTopicBase = 100700;
int helpTopicForTab(int tab);

// The mapping from topics to pages, from the "id<TAB>page" table.
class HelpPages
{
public:
    static const HelpPages& instance();
    static inline const QString kDefaultPage = QStringLiteral("index.html");

    bool parse(const QByteArray& data);
    // The page (with an optional "#anchor") of `topic`, or the default page.
    QString pageFor(int topic) const;
    bool contains(int topic) const { return m_pages.contains(topic); }

private:
    QHash<int, QString> m_pages;
};
