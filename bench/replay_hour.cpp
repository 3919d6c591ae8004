// An hour of replay input (216,000 frames at 60 fps): recording it frame by
// frame into the engine's arrays, as the keyboard and mouse do, and loading
// the replay file back; both against the same work on std::vector. The
// recording reports its mean and its slowest frame over every run, a stutter
// a player sees. Each run starts as a recording does in the game: the last
// hour freed, and the allocator settled by the save that starting a
// recording makes.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <malloc.h>
#include <string>
#include <utility>
#include <vector>

#include "BenchRatio.h"
#include "input/RecordedInput.h"
#include "runtime/ReplayFile.h"
#include "runtime/WholeFile.h"

namespace {

constexpr int HourFrames = 60 * 60 * 60;

using Clock = std::chrono::steady_clock;

// The keys held in a frame: usually one or two, sometimes none.
int HeldCount(int frame) { return frame % 7 == 0 ? 0 : 1 + frame % 3 % 2; }

struct FrameTimes {
    double totalUs = 0;
    double slowestUs = 0;
    int hours = 0;

    void Add(Clock::time_point start) {
        const double us = std::chrono::duration<double, std::micro>(Clock::now() - start).count();
        totalUs += us;
        slowestUs = std::max(slowestUs, us);
    }
};

void Report(benchmark::State& state, const FrameTimes& times) {
    state.counters["mean_us_per_frame"] = times.totalUs / (double(HourFrames) * times.hours);
    state.counters["slowest_frame_us"] = times.slowestUs;
}

// The save a recording starts with merges what the last one freed; here the
// allocator is asked to do the same, outside the timed frames.
void SettleHeap(benchmark::State& state) {
    state.PauseTiming();
    malloc_trim(0);
    state.ResumeTiming();
}

void RecordEngine(benchmark::State& state) {
    FrameTimes times;
    for (auto _ : state) {
        SettleHeap(state);
        Array<KeyboardInputKeys> keys;
        Array<unsigned char> flags;
        Array<MouseRelMove> moves;
        ++times.hours;
        for (int f = 0; f < HourFrames; ++f) {
            const Clock::time_point start = Clock::now();
            KeyboardInputKeys held;
            for (int k = 0; k < HeldCount(f); ++k) held.Add(static_cast<unsigned char>(0x1E + k));
            keys.Add(std::move(held));
            flags.Add(static_cast<unsigned char>(f & 3));
            moves.Add({f % 5, -(f % 3), 0});
            times.Add(start);
        }
        benchmark::DoNotOptimize(keys.Size());
    }
    Report(state, times);
}

void RecordVector(benchmark::State& state) {
    FrameTimes times;
    for (auto _ : state) {
        SettleHeap(state);
        std::vector<std::vector<unsigned char>> keys;
        std::vector<unsigned char> flags;
        std::vector<MouseRelMove> moves;
        ++times.hours;
        for (int f = 0; f < HourFrames; ++f) {
            const Clock::time_point start = Clock::now();
            std::vector<unsigned char> held;
            for (int k = 0; k < HeldCount(f); ++k) held.push_back(static_cast<unsigned char>(0x1E + k));
            keys.push_back(std::move(held));
            flags.push_back(static_cast<unsigned char>(f & 3));
            moves.push_back({f % 5, -(f % 3), 0});
            times.Add(start);
        }
        benchmark::DoNotOptimize(keys.data());
    }
    Report(state, times);
}

// An hour's replay file written once by the engine.
struct HourFile {
    std::string path = (std::filesystem::temp_directory_path() / "qel-bench-hour.rep").string();
    HourFile() {
        Array<KeyboardInputKeys> keys;
        Array<unsigned char> flags;
        Array<MouseRelMove> moves;
        for (int f = 0; f < HourFrames; ++f) {
            KeyboardInputKeys held;
            for (int k = 0; k < HeldCount(f); ++k) held.Add(static_cast<unsigned char>(0x1E + k));
            keys.Add(std::move(held));
            flags.Add(static_cast<unsigned char>(f & 3));
            moves.Add({f % 5, -(f % 3), 0});
        }
        PendingFile file(path.c_str());
        if (ReplayFile::Write(file, RecordedInput{&keys, &flags, &moves})) file.Commit();
    }
    ~HourFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

const HourFile& TheHourFile() {
    static const HourFile file;
    return file;
}

void LoadEngine(benchmark::State& state) {
    const HourFile& file = TheHourFile();
    for (auto _ : state) {
        Array<KeyboardInputKeys> keys;
        Array<unsigned char> flags;
        Array<MouseRelMove> moves;
        ReplayFile replay;
        if (!replay.Read(file.path.c_str())) state.SkipWithError("the replay did not load");
        replay.MoveInto(RecordedInput{&keys, &flags, &moves});
        benchmark::DoNotOptimize(keys.Size());
    }
}

std::uint32_t Le32(const std::vector<char>& b, std::size_t& at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(std::uint8_t(b[at + std::size_t(i)])) << (8 * i);
    at += 4;
    return v;
}

// The same file read whole into std::vectors, with its counts checked.
void LoadVector(benchmark::State& state) {
    const HourFile& file = TheHourFile();
    for (auto _ : state) {
        std::ifstream in(file.path, std::ios::binary);
        const std::vector<char> b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        std::size_t at = ReplayFile::MagicSize;
        std::vector<std::vector<unsigned char>> keys(Le32(b, at));
        for (auto& held : keys) {
            held.resize(std::min<std::size_t>(Le32(b, at), b.size() - at));
            for (unsigned char& k : held) k = static_cast<unsigned char>(b[at++]);
        }
        std::vector<unsigned char> flags(std::min<std::size_t>(Le32(b, at), b.size() - at));
        for (unsigned char& f : flags) f = static_cast<unsigned char>(b[at++]);
        std::vector<MouseRelMove> moves(std::min<std::size_t>(Le32(b, at), (b.size() - at) / 12));
        for (MouseRelMove& m : moves) {
            m.x = std::int32_t(Le32(b, at));
            m.y = std::int32_t(Le32(b, at));
            m.wheel = std::int32_t(Le32(b, at));
        }
        benchmark::DoNotOptimize(moves.data());
    }
}

}  // namespace

BENCHMARK(RecordEngine)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(RecordVector)->Unit(benchmark::kMillisecond)->Iterations(3);
BENCHMARK(LoadEngine)->Unit(benchmark::kMillisecond);
BENCHMARK(LoadVector)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv) {
    return benchratio::RunWithRatios(argc, argv,
                                     {{"RecordEngine", "RecordVector"},
                                      {"LoadEngine", "LoadVector"}});
}
