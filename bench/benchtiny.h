#pragma once
// Every benchmark takes --tiny as its first argument: each measurement then
// runs once at a tiny size and no timing means anything, so that the tests
// run the program and a benchmark that no longer works fails them.
#include <benchmark/benchmark.h>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace Bench {

inline bool Tiny = false;

// Takes --tiny off the front of the arguments (every measurement then runs
// one iteration) and hands the rest to Google Benchmark.
inline void initialize(int *argc, char **argv)
{
    static char once[] = "--benchmark_min_time=0";
    if (*argc > 1 && std::strcmp(argv[1], "--tiny") == 0) {
        Tiny = true;
        argv[1] = once;
    }
    benchmark::Initialize(argc, argv);
}

// The console's table, remembering whether a measurement failed.
class Reporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run> &runs) override
    {
        for (const Run &r : runs)
            failed = failed || r.error_occurred;
        ConsoleReporter::ReportRuns(runs);
    }
    bool failed = false;
};

// Runs the measurements; the exit code is 1 when one of them reported an
// error, so that a benchmark gone wrong fails its test.
inline int run(Reporter &reporter)
{
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return reporter.failed ? 1 : 0;
}

inline int run()
{
    Reporter reporter;
    return run(reporter);
}

// The full size, or the tiny one under --tiny.
template <class T>
T size(T full, T tiny)
{
    return Tiny ? tiny : full;
}

}   // namespace Bench
