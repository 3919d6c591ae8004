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
    std::string engine;     // benchmark name and arguments, e.g. "Stress/1000"
    std::string reference;  // the same of what it is held against
};

constexpr double FrameMs = 1000.0 / 60.0;

class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            // Named without the run options (minimum time, iterations).
            const std::string name = r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args);
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            const Times t{r.GetAdjustedRealTime() * toMs, r.GetAdjustedCPUTime() * toMs};
            // With repetitions the median stands for the benchmark.
            if (r.run_type == Run::RT_Iteration && !medians_.count(name)) times_[name] = t;
            if (r.run_type == Run::RT_Aggregate && r.aggregate_name == "median") {
                times_[name] = t;
                medians_[name] = true;
            }
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Wall time counts the waits for a core on a busy machine; CPU time is
    // the work itself.
    void PrintRatios(const std::vector<Pair>& pairs) const {
        std::printf("\n%-26s %11s %11s %7s %11s %11s %7s %9s\n", "engine vs reference", "engine ms", "ref ms",
                    "ratio", "engine cpu", "ref cpu", "ratio", "cpu/16.7");
        for (const Pair& p : pairs) {
            const auto e = times_.find(p.engine), r = times_.find(p.reference);
            if (e == times_.end() || r == times_.end()) continue;
            const Times& a = e->second;
            const Times& b = r->second;
            std::printf("%-26s %11.4f %11.4f %7.2f %11.4f %11.4f %7.2f %8.1f%%\n", p.engine.c_str(), a.real, b.real,
                        a.real / b.real, a.cpu, b.cpu, a.cpu / b.cpu, 100.0 * a.cpu / FrameMs);
        }
    }

private:
    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, Times> times_;
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
