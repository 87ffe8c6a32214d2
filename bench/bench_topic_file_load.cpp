// Loading a 50 MB topic file: the read alone, capped at what the topic box holds and
// whole (as before the cap), and the whole load of a file selected in the topic tree.
// Memory is the process's peak resident set: run one benchmark per process
// (--benchmark_filter) to read it for that case alone; an empty filter gives the base.

#include "CSupportView.h"
#include "CTextBox.h"
#include "ScriptedPrompter.h"
#include "core/CSupportDoc.h"
#include "core/CommandRouter.h"
#include "core/LifecycleHooks.h"
#include "core/SettingsStore.h"
#include "core/TextFiles.h"
#include "topics/TopicStore.h"
#include "topics/TopicTreeWidget.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>
#include <fstream>
#include <memory>
#include <string>

namespace {

constexpr qint64 kFileSize = qint64(50) * 1024 * 1024;

QTemporaryDir& home()
{
    static QTemporaryDir dir;
    return dir;
}

QString topicFolder()
{
    return home().filePath(QStringLiteral("support1/Large"));
}

// A 50 MB file of 80-character lines, plain or as rich text.
QString bigFile(bool rich)
{
    const QString path =
        topicFolder() + (rich ? QStringLiteral("/big.rtf") : QStringLiteral("/big.txt"));
    if (QFileInfo::exists(path))
        return path;
    QDir().mkpath(topicFolder());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return path;
    const QByteArray line =
        rich ? QByteArray("Answer text, line after line, ") + QByteArray(44, 'x') + "\\par\n"
             : QByteArray(79, 'x') + '\n';
    if (rich)
        file.write("{\\rtf1\\ansi ");
    for (qint64 written = 0; written < kFileSize; written += line.size())
        file.write(line);
    if (rich)
        file.write("}");
    return path;
}

qint64 statusKiB(const char* field)
{
    std::ifstream status("/proc/self/status");
    std::string line;
    const std::string prefix = std::string(field) + ":";
    while (std::getline(status, line)) {
        if (line.rfind(prefix, 0) == 0)
            return std::stoll(line.substr(prefix.size()));
    }
    return 0;
}

void reportPeak(benchmark::State& state)
{
    state.counters["process_peak_MiB"] = double(statusKiB("VmHWM")) / 1024.0;
}

void BM_ReadTopicFile(benchmark::State& state)
{
    const bool rich = state.range(0) != 0;
    const qsizetype limit = state.range(1) != 0 ? kTextBoxLimit : kWholeFile;
    const QString path = bigFile(rich);
    qsizetype characters = 0;
    for (auto _ : state) {
        QString text;
        bool cut = false;
        benchmark::DoNotOptimize(ReadTextFile(path, text, limit, &cut));
        characters = text.size();
    }
    reportPeak(state);
    state.counters["characters"] = double(characters);
}

// Selecting the file in the topic tree: read, probe and put into the topic box.
void BM_SelectTopicFile(benchmark::State& state)
{
    const bool rich = state.range(0) != 0;
    bigFile(rich);
    ScriptedPrompter prompter;
    SettingsStore store(home().filePath(QStringLiteral("settings.ini")));
    CSupportDoc doc(store, home().path() + u'/');
    doc.LoadSettings();
    BuildTopicStore(doc);
    doc.RebuildSupportPathList();
    LifecycleHooks hooks;
    CommandRouter router;
    auto view = std::make_unique<CSupportView>(doc, hooks, 1024);
    view->OnInitialUpdate(router);
    view->SelectTab(2);
    auto* tree = qobject_cast<TopicTreeWidget*>(view->control(1045));
    QTreeWidgetItem* folder = tree->folderItem(QStringLiteral("Large"));
    QTreeWidgetItem* file = nullptr;
    for (int i = 0; folder && i < folder->childCount(); ++i) {
        if (folder->child(i)->text(0).endsWith(rich ? u"rtf" : u"txt"))
            file = folder->child(i);
    }
    if (!file) {
        state.SkipWithError("the topic file is not in the tree");
        return;
    }
    for (auto _ : state) {
        tree->clearSelection();
        view->textBox(1001)->clear();
        tree->setCurrentItem(file);
        benchmark::DoNotOptimize(view->textBox(1001)->document()->characterCount());
    }
    reportPeak(state);
    state.counters["characters"] = double(view->textBox(1001)->document()->characterCount() - 1);
}

} // namespace

BENCHMARK(BM_ReadTopicFile)
    ->ArgsProduct({{0, 1}, {1, 0}})
    ->ArgNames({"rich", "capped"})
    ->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SelectTopicFile)->Arg(0)->Arg(1)->ArgName("rich")->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
