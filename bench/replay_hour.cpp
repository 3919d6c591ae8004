// Replay input: recording an hour (216,000 frames at 60 fps) frame by frame
// into the engine's arrays, as the keyboard and mouse do, and loading a ten
// hours' replay file back. The recording's reference appends the same bytes
// as the file holds to one reserved byte stream; the loading's reference
// reads the file in one go and parses it into reserved vectors. Besides the
// time, the recording reports its slowest frame over every run (a stutter a
// player sees), and both report the heap they hold per frame against the
// frame's bytes in the file.
#include <benchmark/benchmark.h>

#include <malloc.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "BenchRatio.h"
#include "input/RecordedInput.h"
#include "platform/HeapTuning.h"
#include "runtime/ReplayFileInternal.h"
#include "runtime/WholeFileInternal.h"

namespace {

constexpr int HourFrames = 60 * 60 * 60;
constexpr int LoadedHours = 10;

using Clock = std::chrono::steady_clock;

// The keys held in a frame: usually one or two, sometimes none.
int HeldCount(int frame) { return frame % 7 == 0 ? 0 : 1 + frame % 3 % 2; }

std::size_t FileBytes(int frames) {
    std::size_t bytes = 7 + 3 * 4;
    for (int f = 0; f < frames; ++f) bytes += 4 + std::size_t(HeldCount(f)) + 1 + 12;
    return bytes;
}

std::size_t HeapInUse() {
    const struct mallinfo2 m = mallinfo2();
    return m.uordblks + m.hblkhd;
}

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

void Report(benchmark::State& state, const FrameTimes& times, std::size_t heldBytes) {
    state.counters["mean_us_per_frame"] = times.totalUs / (double(HourFrames) * times.hours);
    state.counters["slowest_frame_us"] = times.slowestUs;
    state.counters["heap_per_file_byte"] = double(heldBytes) / double(FileBytes(HourFrames));
}

void Held(int f, unsigned char* held, int& n) {
    n = HeldCount(f);
    for (int k = 0; k < n; ++k) held[k] = static_cast<unsigned char>(0x1E + k);
}

void RecordEngine(benchmark::State& state) {
    FrameTimes times;
    std::size_t heldBytes = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        RecordedKeys keys;
        Array<unsigned char> flags;
        Array<MouseRelMove> moves;
        ++times.hours;
        for (int f = 0; f < HourFrames; ++f) {
            const Clock::time_point start = Clock::now();
            unsigned char held[4];
            int n = 0;
            Held(f, held, n);
            keys.Add(KeyboardInputKeys(held, std::size_t(n)));
            flags.Add(static_cast<unsigned char>(f & 3));
            moves.Add({f % 5, -(f % 3), 0});
            times.Add(start);
        }
        heldBytes = HeapInUse() - before;
        benchmark::DoNotOptimize(keys.Size());
    }
    Report(state, times, heldBytes);
}

void Append32(std::vector<unsigned char>& out, std::uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<unsigned char>(v >> (8 * i)));
}

// The frame's bytes as the file lays them out, into one stream reserved for the hour.
void RecordStream(benchmark::State& state) {
    FrameTimes times;
    std::size_t heldBytes = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        std::vector<unsigned char> stream;
        stream.reserve(FileBytes(HourFrames));
        ++times.hours;
        for (int f = 0; f < HourFrames; ++f) {
            const Clock::time_point start = Clock::now();
            unsigned char held[4];
            int n = 0;
            Held(f, held, n);
            Append32(stream, std::uint32_t(n));
            stream.insert(stream.end(), held, held + n);
            stream.push_back(static_cast<unsigned char>(f & 3));
            Append32(stream, std::uint32_t(f % 5));
            Append32(stream, std::uint32_t(-(f % 3)));
            Append32(stream, 0);
            times.Add(start);
        }
        heldBytes = HeapInUse() - before;
        benchmark::DoNotOptimize(stream.data());
    }
    Report(state, times, heldBytes);
}

// Ten hours' replay file written once by the engine.
struct LongFile {
    std::string path = (std::filesystem::temp_directory_path() / "qel-bench-ten-hours.rep").string();
    LongFile() {
        RecordedKeys keys;
        Array<unsigned char> flags;
        Array<MouseRelMove> moves;
        for (int f = 0; f < LoadedHours * HourFrames; ++f) {
            unsigned char held[4];
            int n = 0;
            Held(f, held, n);
            keys.Add(KeyboardInputKeys(held, std::size_t(n)));
            flags.Add(static_cast<unsigned char>(f & 3));
            moves.Add({f % 5, -(f % 3), 0});
        }
        PendingFile file(path.c_str());
        if (ReplayFile::Write(file, RecordedInput{&keys, &flags, &moves})) file.Commit();
    }
    ~LongFile() {
        std::error_code ec;
        std::filesystem::remove(path, ec);
    }
};

const LongFile& TheLongFile() {
    static const LongFile file;
    return file;
}

void ReportLoaded(benchmark::State& state, std::size_t heldBytes) {
    state.counters["heap_per_file_byte"] = double(heldBytes) / double(std::filesystem::file_size(TheLongFile().path));
}

void LoadEngine(benchmark::State& state) {
    const LongFile& file = TheLongFile();
    std::size_t heldBytes = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        RecordedKeys keys;
        Array<unsigned char> flags;
        Array<MouseRelMove> moves;
        ReplayFile replay;
        if (!replay.Read(file.path.c_str())) state.SkipWithError("the replay did not load");
        replay.MoveInto(RecordedInput{&keys, &flags, &moves});
        heldBytes = HeapInUse() - before;
        benchmark::DoNotOptimize(keys.Size());
    }
    ReportLoaded(state, heldBytes);
}

std::uint32_t Le32(const unsigned char* b, std::size_t& at) {
    std::uint32_t v = 0;
    for (int i = 0; i < 4; ++i) v |= std::uint32_t(b[at + std::size_t(i)]) << (8 * i);
    at += 4;
    return v;
}

struct Move {
    std::int32_t x, y, wheel;
};

// The same file read in one go and parsed into reserved vectors: the frames'
// codes flat with where each frame ends, the flags, the moves; counts checked.
void LoadVectors(benchmark::State& state) {
    const LongFile& file = TheLongFile();
    std::size_t heldBytes = 0;
    for (auto _ : state) {
        const std::size_t before = HeapInUse();
        const std::size_t size = std::filesystem::file_size(file.path);
        std::unique_ptr<unsigned char[]> bytes(new unsigned char[size]);
        if (std::FILE* f = std::fopen(file.path.c_str(), "rb")) {
            if (std::fread(bytes.get(), 1, size, f) != size) state.SkipWithError("short read");
            std::fclose(f);
        }
        const unsigned char* b = bytes.get();
        std::size_t at = 7;
        const std::size_t frames = std::min<std::size_t>(Le32(b, at), (size - at) / 4);
        std::vector<std::uint32_t> ends;
        ends.reserve(frames);
        std::vector<unsigned char> codes;
        std::size_t codeCount = 0;
        for (std::size_t fr = 0, scan = at; fr < frames && scan + 4 <= size; ++fr) {
            const std::size_t n = Le32(b, scan);
            codeCount += n;
            scan += n;
        }
        codes.reserve(codeCount);
        for (std::size_t fr = 0; fr < frames && at + 4 <= size; ++fr) {
            const std::size_t n = std::min<std::size_t>(Le32(b, at), size - at);
            codes.insert(codes.end(), b + at, b + at + n);
            at += n;
            ends.push_back(std::uint32_t(codes.size()));
        }
        const std::size_t flagCount = std::min<std::size_t>(Le32(b, at), size - at);
        std::vector<unsigned char> flags(b + at, b + at + flagCount);
        at += flagCount;
        std::vector<Move> moves(std::min<std::size_t>(Le32(b, at), (size - at) / 12));
        for (Move& m : moves) {
            m.x = std::int32_t(Le32(b, at));
            m.y = std::int32_t(Le32(b, at));
            m.wheel = std::int32_t(Le32(b, at));
        }
        bytes.reset();
        heldBytes = HeapInUse() - before;
        benchmark::DoNotOptimize(moves.data());
    }
    ReportLoaded(state, heldBytes);
}

}  // namespace

BENCHMARK(RecordEngine)->Unit(benchmark::kMillisecond)->Iterations(2)->MeasureProcessCPUTime();
BENCHMARK(RecordStream)->Unit(benchmark::kMillisecond)->Iterations(2)->MeasureProcessCPUTime();
BENCHMARK(LoadEngine)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();
BENCHMARK(LoadVectors)->Unit(benchmark::kMillisecond)->Iterations(3)->MeasureProcessCPUTime();

int main(int argc, char** argv) {
    qel::TuneHeap();  // as the engine's start-up does
    return benchratio::RunInterleaved(argc, argv, {{"RecordEngine", "RecordStream"}, {"LoadEngine", "LoadVectors"}}, {},
                                      5);
}
