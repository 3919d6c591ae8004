// A benchmark program's main that, after the usual console output, prints
// each engine figure next to its reference measured in the same run (bare
// SDL, std::vector, the all-pairs walk), as a ratio and as a share of a
// 16.7 ms frame. The machine is shared, so only figures of one run compare:
// with several repetitions, run interleaved, each engine repetition is paired
// with the reference's repetition of the same rank, and the ratio is given as
// the smallest and the median of those pairs.
#pragma once
#include <benchmark/benchmark.h>

#include <algorithm>
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
            if (r.run_type != Run::RT_Iteration) continue;
            // Named without the run options (minimum time, iterations).
            const std::string name = r.run_name.function_name + (r.run_name.args.empty() ? "" : "/" + r.run_name.args);
            const double toMs = 1e3 / benchmark::GetTimeUnitMultiplier(r.time_unit);
            times_[name].push_back({r.GetAdjustedRealTime() * toMs, r.GetAdjustedCPUTime() * toMs});
        }
        ConsoleReporter::ReportRuns(runs);
    }

    // Wall time counts the waits for a core on a busy machine; CPU time is
    // the work itself.
    void PrintRatios(const std::vector<Pair>& pairs) const {
        std::printf("\n%-26s %5s %11s %11s %13s %11s %11s %13s %9s\n", "engine vs reference", "pairs", "engine ms",
                    "ref ms", "ratio min/med", "engine cpu", "ref cpu", "ratio min/med", "cpu/16.7");
        for (const Pair& p : pairs) {
            const auto e = times_.find(p.engine), r = times_.find(p.reference);
            if (e == times_.end() || r == times_.end()) continue;
            const std::size_t n = std::min(e->second.size(), r->second.size());
            std::vector<double> real, cpu, engineReal, engineCpu, refReal, refCpu;
            for (std::size_t i = 0; i < n; ++i) {
                const Times& a = e->second[i];
                const Times& b = r->second[i];
                real.push_back(a.real / b.real);
                cpu.push_back(a.cpu / b.cpu);
                engineReal.push_back(a.real);
                engineCpu.push_back(a.cpu);
                refReal.push_back(b.real);
                refCpu.push_back(b.cpu);
            }
            std::printf("%-26s %5zu %11.4f %11.4f %6.2f/%-6.2f %11.4f %11.4f %6.2f/%-6.2f %8.1f%%\n", p.engine.c_str(), n,
                        Median(engineReal), Median(refReal), Min(real), Median(real), Median(engineCpu), Median(refCpu),
                        Min(cpu), Median(cpu), 100.0 * Median(engineCpu) / FrameMs);
        }
    }

    static double Min(const std::vector<double>& v) { return v.empty() ? 0 : *std::min_element(v.begin(), v.end()); }
    static double Median(std::vector<double> v) {
        if (v.empty()) return 0;
        std::sort(v.begin(), v.end());
        return v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
    }

private:
    struct Times {
        double real = 0;
        double cpu = 0;
    };
    std::map<std::string, std::vector<Times>> times_;
};

// `repetitions` is how many interleaved pairs a run makes unless the command
// line says otherwise (--benchmark_repetitions).
inline int RunWithRatios(int argc, char** argv, const std::vector<Pair>& pairs, int repetitions = 1) {
    std::vector<char*> args(argv, argv + argc);
    std::string repeat = "--benchmark_repetitions=" + std::to_string(repetitions);
    std::string interleave = "--benchmark_enable_random_interleaving=true";
    if (repetitions > 1) {
        // Given first, so that the command line's own choice comes later and wins.
        args.insert(args.begin() + 1, {repeat.data(), interleave.data()});
    }
    int count = int(args.size());
    benchmark::Initialize(&count, args.data());
    if (benchmark::ReportUnrecognizedArguments(count, args.data())) return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    reporter.PrintRatios(pairs);
    benchmark::Shutdown();
    return 0;
}

}  // namespace benchratio
