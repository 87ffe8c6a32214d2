#include "HelpTopics.h"

#include "EmbeddedResources.h"

#include <QFile>
#include <QList>

namespace {

// Tabs of the workspace, by index.
constexpr int kCreateReplyTab = 2;
constexpr int kDatabaseTab = 4;
constexpr int kKnowledgeTab = 5;
constexpr int kTopicFileTab = 6;
constexpr int kTabCount = 8;

} // namespace

std::optional<int> helpTopicForContext(int context, int currentTab)
{
    if (context == kSelectorContext) {
        if (currentTab == kCreateReplyTab || currentTab == kTopicFileTab)
            return 100608;
        if (currentTab == kDatabaseTab || currentTab == kKnowledgeTab)
            return 100609;
        return std::nullopt;
    }
    if (context == kSearchButtonContext) {
        if (currentTab == kDatabaseTab)
            return 100610;
        if (currentTab == kKnowledgeTab)
            return 100611;
        return std::nullopt;
    }
    return context;
}

int helpTopicForTab(int tab)
{
    return kTabTopicBase + (tab >= 0 && tab < kTabCount ? tab : 0);
}

const HelpPages& HelpPages::instance()
{
    static const HelpPages pages = [] {
        HelpPages p;
        QFile file(EmbeddedResources::helpRoot() + QStringLiteral("/contexts.tsv"));
        if (file.open(QIODevice::ReadOnly))
            p.parse(file.readAll());
        return p;
    }();
    return pages;
}

bool HelpPages::parse(const QByteArray& data)
{
    bool ok = true;
    for (QByteArray line : data.split('\n')) {
        line = line.trimmed();
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> fields = line.split('\t');
        bool isNumber = false;
        const int topic = fields.value(0).trimmed().toInt(&isNumber);
        if (!isNumber || fields.size() < 2) {
            ok = false;
            continue;
        }
        m_pages.insert(topic, QString::fromUtf8(fields.at(1).trimmed()));
    }
    return ok;
}

QString HelpPages::pageFor(int topic) const
{
    return m_pages.value(topic, kDefaultPage);
}
