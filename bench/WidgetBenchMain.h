#pragma once
// The main() of benchmarks that need widgets: an offscreen QApplication unless a platform is set,
// then Google Benchmark, or the --time and --inputs modes of BenchMain.h for a program that has them.
#include "BenchMain.h"

#include <QApplication>
#include <QEvent>

// Notes the paints of the widget it filters.
struct TPaintSeen : QObject {
    bool Seen = false;
    bool eventFilter(QObject*, QEvent* Event) override
    {
        if (Event->type() == QEvent::Paint)
            Seen = true;
        return false;
    }
};

inline void OffscreenUnlessPlatformSet()
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
}

inline int WidgetBenchMain(int Argc, char** Argv)
{
    OffscreenUnlessPlatformSet();
    QApplication app(Argc, Argv);
    return RunRegisteredBenchmarks(Argc, Argv);
}

// The same with BenchMain's modes; TApp is the application class the work needs (QGuiApplication
// where no widget is made). The application lives through every mode.
template <class TApp = QApplication>
inline int WidgetBenchMain(int Argc, char** Argv, const std::function<int(int, char**)>& TimeOperation,
                           const std::function<int(const std::string&)>& WriteInputs = nullptr)
{
    OffscreenUnlessPlatformSet();
    TApp app(Argc, Argv);
    return BenchMain(Argc, Argv, TimeOperation, WriteInputs);
}
