// Building the topic store for a large topic root: 999 folders of 20 files each.

#include "core/CSupportDoc.h"
#include "core/SettingsStore.h"
#include "topics/TopicStore.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kFolders = 999;
constexpr int kFilesPerFolder = 20;

void makeTopicRoot(const QString& root)
{
    for (int f = 0; f < kFolders; ++f) {
        const QString folder = root + QStringLiteral("/Topic folder %1").arg(f);
        QDir().mkpath(folder);
        for (int i = 0; i < kFilesPerFolder; ++i) {
            QFile file(folder + QStringLiteral("/answer %1.%2").arg(i).arg(i % 2 ? "rtf" : "txt"));
            if (file.open(QIODevice::WriteOnly))
                file.write("text");
        }
    }
}

void BM_BuildTopicStore(benchmark::State& state)
{
    QTemporaryDir home;
    SettingsStore store(home.filePath(QStringLiteral("settings.ini")));
    CSupportDoc doc(store, home.path() + u'/');
    doc.LoadSettings();
    makeTopicRoot(doc.GetSupportPath(0));
    BuildTopicStore(doc); // warm the directory cache
    for (auto _ : state) {
        BuildTopicStore(doc);
        benchmark::DoNotOptimize(doc.topicFolderCount());
    }
    state.counters["folders"] = doc.topicFolderCount();
}

} // namespace

BENCHMARK(BM_BuildTopicStore)->Unit(benchmark::kMillisecond);
BENCHMARK_MAIN();
