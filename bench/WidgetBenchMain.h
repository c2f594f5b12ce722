#pragma once
// The main() of benchmarks that need widgets: an offscreen QApplication unless a platform is set,
// then Google Benchmark.
#include <benchmark/benchmark.h>

#include <QApplication>

inline int WidgetBenchMain(int Argc, char** Argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(Argc, Argv);
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
