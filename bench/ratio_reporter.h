#pragma once

#include <benchmark/benchmark.h>

#include <map>
#include <string>
#include <vector>

// A target for the mean real time of a benchmark: over that of denominator, another benchmark
// of the same run, or in milliseconds when denominator is empty. It is met at or below limit; a
// limit of 0 makes it a reference figure, printed without a target.
struct BenchmarkRatio {
    std::string numerator;
    std::string denominator;
    double limit;
};

// The console output, followed by the ratios of the run with their targets.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    explicit RatioReporter(std::vector<BenchmarkRatio> ratios);

    void ReportRuns(const std::vector<Run>& runs) override;
    void Finalize() override;

private:
    struct Total {
        double realSeconds = 0;
        double cpuSeconds = 0;
        double iterations = 0;
    };

    // Mean time per iteration on one of the clocks, or -1 when the benchmark did not run.
    double meanSeconds(const std::string& name, double Total::*seconds) const;

    std::vector<BenchmarkRatio> ratios;
    std::map<std::string, Total> totals;
};

// Runs the benchmarks chosen on the command line inside an offscreen Qt application (the
// widgets need one, the database's message boxes too), then reports the ratios.
int runBenchmarks(int argc, char** argv, const std::vector<BenchmarkRatio>& ratios);
