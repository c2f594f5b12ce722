#pragma once
// Shared by the benchmark programs: a "--time" mode that prints the best wall time of one operation
// (for the scripts that set Canvello beside reference tools), an optional "--inputs" mode that writes
// the program's generated pictures for those scripts, and Google Benchmark otherwise.
#include "reference/PixelBuffer.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <functional>
#include <map>
#include <string>

// The best wall time of Repeat runs of Op, in milliseconds.
inline double BestMilliseconds(int Repeat, const std::function<void()>& Op)
{
    double Best = 1e300;
    for (int I = 0; I < std::max(1, Repeat); ++I) {
        WarmFreshMemory();
        const auto Start = std::chrono::steady_clock::now();
        Op();
        const std::chrono::duration<double, std::milli> Took = std::chrono::steady_clock::now() - Start;
        Best = std::min(Best, Took.count());
    }
    return Best;
}

// The same with Prepare run before each run of Op, outside the time (a fresh copy of the input).
inline double BestMilliseconds(int Repeat, const std::function<void()>& Prepare, const std::function<void()>& Op)
{
    double Best = 1e300;
    for (int I = 0; I < std::max(1, Repeat); ++I) {
        Prepare();
        Best = std::min(Best, BestMilliseconds(1, Op));
    }
    return Best;
}

// The repeat count at Argv[Index] (at least 1), or Default when it is not given.
inline int RepeatArgument(int Argc, char** Argv, int Index, int Default = 5)
{
    return Argc > Index ? std::max(1, std::atoi(Argv[Index])) : Default;
}

// Times the operation named Op out of Ops and prints its best time; 2 for an unknown name or when the
// operation needs an output that was not given.
inline int TimeNamedOperation(const std::map<std::string, std::function<void()>>& Ops, const std::string& Op,
                              bool MissingOutput, int Repeat)
{
    const auto It = Ops.find(Op);
    if (It == Ops.end() || MissingOutput) {
        std::fprintf(stderr, "unknown operation or missing output: %s\n", Op.c_str());
        return 2;
    }
    std::printf("%.3f\n", BestMilliseconds(Repeat, It->second));
    return 0;
}

// Google Benchmark on the registered benchmarks, with its own command-line options.
inline int RunRegisteredBenchmarks(int& Argc, char** Argv)
{
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

// main() of a benchmark program: "PROGRAM --time ..." runs TimeOperation, "PROGRAM --inputs DIR" runs
// WriteInputs(DIR) when the program has one (each gives its exit code; an exception is printed and
// gives 1); anything else runs the registered benchmarks.
inline int BenchMain(int Argc, char** Argv, const std::function<int(int, char**)>& TimeOperation,
                     const std::function<int(const std::string&)>& WriteInputs = nullptr)
{
    const auto Guarded = [](const std::function<int()>& Run) {
        try {
            return Run();
        } catch (const std::exception& E) {
            std::fprintf(stderr, "%s\n", E.what());
            return 1;
        }
    };
    if (Argc > 1 && std::strcmp(Argv[1], "--time") == 0)
        return Guarded([&] { return TimeOperation(Argc, Argv); });
    if (WriteInputs && Argc > 2 && std::strcmp(Argv[1], "--inputs") == 0)
        return Guarded([&] { return WriteInputs(Argv[2]); });
    return RunRegisteredBenchmarks(Argc, Argv);
}
