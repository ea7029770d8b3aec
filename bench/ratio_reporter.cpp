#include "ratio_reporter.h"

#include <QApplication>

#include <cstdio>

RatioReporter::RatioReporter(std::vector<BenchmarkRatio> ratios)
    : ratios(std::move(ratios)) {}

void RatioReporter::ReportRuns(const std::vector<Run>& runs) {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
        if (run.run_type != Run::RT_Iteration || run.error_occurred)
            continue;
        const std::string& args = run.run_name.args;
        Total& total = totals[run.run_name.function_name + (args.empty() ? "" : "/" + args)];
        total.realSeconds += run.real_accumulated_time;
        total.cpuSeconds += run.cpu_accumulated_time;
        total.iterations += double(run.iterations);
    }
}

double RatioReporter::meanSeconds(const std::string& name, double Total::*seconds) const {
    const auto found = totals.find(name);
    return found == totals.end() ? -1 : found->second.*seconds / found->second.iterations;
}

void RatioReporter::Finalize() {
    std::printf("\nTargets, from mean times of this run (judged on real time):\n");
    for (const BenchmarkRatio& ratio : ratios) {
        const bool absolute = ratio.denominator.empty();
        double values[2];
        double Total::*const clocks[2] = {&Total::realSeconds, &Total::cpuSeconds};
        for (int clock = 0; clock < 2; ++clock) {
            const double numerator = meanSeconds(ratio.numerator, clocks[clock]);
            const double denominator =
                absolute ? 1e-3 : meanSeconds(ratio.denominator, clocks[clock]);
            values[clock] = numerator < 0 || denominator < 0 ? -1 : numerator / denominator;
        }
        if (values[0] < 0)
            continue;
        const char* unit = absolute ? " ms" : "";
        std::printf("  %s%s%s = %.2f%s real, %.2f%s cpu", ratio.numerator.c_str(),
                    absolute ? "" : " / ", ratio.denominator.c_str(), values[0], unit, values[1],
                    unit);
        if (ratio.limit > 0)
            std::printf(" (target <= %.2f%s): %s\n", ratio.limit, unit,
                        values[0] <= ratio.limit ? "met" : "MISSED");
        else
            std::printf(" (reference)\n");
    }
    std::fflush(stdout);
}

int runBenchmarks(int argc, char** argv, const std::vector<BenchmarkRatio>& ratios) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // The database and the catalogue log every file they touch; that is not what is measured.
    qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
    QApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter(ratios);
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
