// The main function of the benchmarks that run widgets: the offscreen platform unless another
// is chosen, notices recorded instead of shown (printed after the run, which then fails), and
// a state built once the application exists, before anything is measured.
#pragma once

#include "ScriptedPrompter.h"

#include <QApplication>
#include <benchmark/benchmark.h>
#include <cstdio>
#include <functional>

template<typename State = int>
int RunWidgetBenchmarks(int argc, char** argv, const std::function<bool(State&)>& setUp = {})
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedPrompter prompter;
    State state = State(); // value-initialised: zero for a number
    if (setUp && !setUp(state)) {
        std::fprintf(stderr, "the benchmark could not be set up\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (const ScriptedPrompter::Notice& notice : prompter.notices())
        std::fprintf(stderr, "notice: %s\n", qPrintable(notice.text));
    return prompter.notices().isEmpty() ? 0 : 1;
}
