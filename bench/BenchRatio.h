// A benchmark program's main that, after the usual console output, prints
// each engine figure next to its reference measured in the same run (bare
// SDL, std::vector, the all-pairs walk), as a ratio and as a share of a
// 16.7 ms frame, and each figure that has no reference next to the limit it
// must keep. The machine is shared, so only figures of one run compare: run
// with repetitions and random interleaving (RunInterleaved does), each
// engine repetition is paired with the reference's repetition of the same
// rank, and the ratios' minimum and median are printed.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <string>
#include <vector>

namespace benchratio {

struct Pair {
    std::string engine;     // benchmark name and arguments, e.g. "Stress/1000"
    std::string reference;  // the same of what it is held against
};

// A figure without a reference, held against a limit it must keep.
struct Limit {
    std::string engine;  // benchmark name and arguments
    double ms;           // the limit, in milliseconds per iteration
    std::string what;    // where the limit comes from
};

constexpr double FrameMs = 1000.0 / 60.0;

class RatioReporter : public benchmark::ConsoleReporter {
public:
    static double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    static double Median(std::vector<double> v) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& r : runs) {
            // Named without the run options (minimum time, iterations).
            const std::string name = r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args);
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            const Times t{r.GetAdjustedRealTime() * toMs, r.GetAdjustedCPUTime() * toMs};
            if (r.run_type == Run::RT_Iteration) samples_[name].push_back(t);
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
        if (pairs.empty()) return;
        std::printf("\n%-34s %11s %11s %7s %11s %11s %7s %9s %15s\n", "engine vs reference", "engine ms", "ref ms",
                    "ratio", "engine cpu", "ref cpu", "ratio", "cpu/16.7", "cpu ratio min/med");
        for (const Pair& p : pairs) {
            const auto e = times_.find(p.engine), r = times_.find(p.reference);
            if (e == times_.end() || r == times_.end()) continue;
            const Times& a = e->second;
            const Times& b = r->second;
            std::printf("%-34s %11.5g %11.5g %7.2f %11.5g %11.5g %7.2f %8.1f%%", p.engine.c_str(), a.real, b.real,
                        a.real / b.real, a.cpu, b.cpu, a.cpu / b.cpu, 100.0 * a.cpu / FrameMs);
            std::vector<double> ratios = PairedCpuRatios(p);
            if (ratios.size() >= 2) {
                std::sort(ratios.begin(), ratios.end());
                std::printf(" %7.2f/%-7.2f", ratios.front(), Median(ratios));
            }
            std::printf("   (vs %s)\n", p.reference.c_str());
        }
    }

    void PrintLimits(const std::vector<Limit>& limits) const {
        if (limits.empty()) return;
        std::printf("\n%-34s %11s %11s %7s  %s\n", "engine vs limit", "engine cpu", "limit ms", "ratio", "limit");
        for (const Limit& l : limits) {
            const auto e = times_.find(l.engine);
            if (e == times_.end()) continue;
            std::printf("%-34s %11.5g %11.5g %7.2f  %s\n", l.engine.c_str(), e->second.cpu, l.ms, e->second.cpu / l.ms,
                        l.what.c_str());
        }
    }

private:
    struct Times {
        double real = 0;
        double cpu = 0;
    };

    std::vector<double> PairedCpuRatios(const Pair& p) const {
        std::vector<double> out;
        const auto e = samples_.find(p.engine), r = samples_.find(p.reference);
        if (e == samples_.end() || r == samples_.end()) return out;
        const std::size_t n = std::min(e->second.size(), r->second.size());
        for (std::size_t i = 0; i < n; ++i) out.push_back(e->second[i].cpu / r->second[i].cpu);
        return out;
    }

    std::map<std::string, Times> times_;
    std::map<std::string, bool> medians_;
    std::map<std::string, std::vector<Times>> samples_;  // each repetition, in the order run
};

inline int RunWithRatios(int argc, char** argv, const std::vector<Pair>& pairs, const std::vector<Limit>& limits = {}) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(pairs);
    reporter.PrintLimits(limits);
    benchmark::Shutdown();
    return 0;
}

// The same with `repetitions` repetitions of every benchmark, run in random
// order among each other, unless the command line asks otherwise.
inline int RunInterleaved(int argc, char** argv, const std::vector<Pair>& pairs, const std::vector<Limit>& limits = {},
                          int repetitions = 7) {
    std::vector<std::string> extra;
    auto given = [argc, argv](const char* flag) {
        for (int i = 1; i < argc; ++i)
            if (std::strncmp(argv[i], flag, std::strlen(flag)) == 0) return true;
        return false;
    };
    if (!given("--benchmark_repetitions")) extra.push_back("--benchmark_repetitions=" + std::to_string(repetitions));
    if (!given("--benchmark_enable_random_interleaving"))
        extra.push_back("--benchmark_enable_random_interleaving=true");
    std::vector<char*> args(argv, argv + argc);
    for (std::string& e : extra) args.push_back(e.data());
    args.push_back(nullptr);
    return RunWithRatios(int(args.size() - 1), args.data(), pairs, limits);
}

}  // namespace benchratio
