#pragma once
// Shared by the benchmark programs: a "--time" mode that prints the best wall time of one operation
// (for the scripts that set Canvello beside reference tools), and Google Benchmark otherwise.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <exception>
#include <functional>

// The best wall time of Repeat runs of Op, in milliseconds.
inline double BestMilliseconds(int Repeat, const std::function<void()>& Op)
{
    double Best = 1e300;
    for (int I = 0; I < std::max(1, Repeat); ++I) {
        const auto Start = std::chrono::steady_clock::now();
        Op();
        const std::chrono::duration<double, std::milli> Took = std::chrono::steady_clock::now() - Start;
        Best = std::min(Best, Took.count());
    }
    return Best;
}

// main() of a benchmark program: "PROGRAM --time ..." runs TimeOperation (its exit code; an exception
// is printed and gives 1), anything else runs the registered benchmarks.
inline int BenchMain(int Argc, char** Argv, const std::function<int(int, char**)>& TimeOperation)
{
    if (Argc > 1 && std::strcmp(Argv[1], "--time") == 0) {
        try {
            return TimeOperation(Argc, Argv);
        } catch (const std::exception& E) {
            std::fprintf(stderr, "%s\n", E.what());
            return 1;
        }
    }
    benchmark::Initialize(&Argc, Argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
