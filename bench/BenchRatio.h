// A benchmark program's main that, after the usual console output, prints
// each engine figure next to its reference measured in the same run (bare
// SDL, std::vector, the all-pairs walk), as a ratio and as a share of a
// 16.7 ms frame. The machine is shared, so only figures of one run compare.
#pragma once
#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>
#include <vector>

namespace benchratio {

struct Pair {
    std::string engine;     // full benchmark name, e.g. "Switch/7000"
    std::string reference;  // full benchmark name of what it is held against
};

constexpr double FrameMs = 1000.0 / 60.0;

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            const double ms = r.GetAdjustedRealTime() / benchmark::GetTimeUnitMultiplier(r.time_unit) * 1e3;
            // With repetitions the median stands for the benchmark.
            if (r.run_type == Run::RT_Iteration && !medians_.count(r.run_name.str()))
                times_[r.run_name.str()] = ms;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                times_[r.run_name.str()] = ms;
                medians_[r.run_name.str()] = true;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    void PrintRatios(const std::vector<Pair>& pairs) const {
        std::printf("\n%-44s %12s %12s %8s %10s\n", "engine vs reference", "engine ms", "reference ms", "ratio",
                    "of 16.7ms");
        for (const Pair& p : pairs) {
            const auto e = times_.find(p.engine), r = times_.find(p.reference);
            if (e == times_.end() || r == times_.end()) continue;
            std::printf("%-44s %12.4f %12.4f %8.2f %9.1f%%\n", p.engine.c_str(), e->second, r->second,
                        e->second / r->second, 100.0 * e->second / FrameMs);
        }
    }

private:
    std::map<std::string, double> times_;
    std::map<std::string, bool> medians_;
};

inline int RunWithRatios(int argc, char** argv, const std::vector<Pair>& pairs) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchratio
