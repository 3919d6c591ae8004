#include "logic/Timer.h"

#include <limits>

#include "foundation/File.h"
#include "logic/FrameRate.h"
#include "logic/LogicTables.h"

namespace {

constexpr TimerUnit Milliseconds = 1;
constexpr TimerMode Periodic = 1;

// Both conversions run in x87 extended precision (64-bit significand): 0.001L
// lies just below one thousandth, and the order of the products decides
// whether an exact result keeps its last frame (1000 ms at 60 fps: 60 or 59).
static_assert(std::numeric_limits<long double>::digits == 64, "the frame conversion needs 80-bit long double");

std::uint32_t TruncatedFrames(long double frames) {
    if (!(frames >= 0.0L)) return 0;
    if (frames >= 4294967296.0L) return std::numeric_limits<std::uint32_t>::max();
    return static_cast<std::uint32_t>(frames);
}

std::uint32_t InitFrames(std::uint32_t milliseconds, unsigned int rate) {
    const long double perMillisecond = static_cast<long double>(rate) * 0.001L;
    return TruncatedFrames(static_cast<long double>(milliseconds) * perMillisecond);
}

std::uint32_t ResetFrames(std::uint32_t milliseconds, unsigned int rate) {
    const long double product = static_cast<long double>(milliseconds) * static_cast<long double>(rate);
    return TruncatedFrames(product * 0.001L);
}

std::int32_t CallbackNumber(BehaviorFunction callback) {
    if (callback == nullptr || FArray == nullptr) return -1;
    for (std::int32_t i = 0; WithinBound(i, maxFIndex); ++i)
        if (FArray[i] == reinterpret_cast<void*>(callback)) return i;
    return -1;
}

BehaviorFunction CallbackOfNumber(std::int32_t number) {
    if (FArray == nullptr || !WithinBound(number, maxFIndex)) return nullptr;
    return reinterpret_cast<BehaviorFunction>(FArray[number]);
}

}  // namespace

Timer::Timer(BehaviorFunction callback, unsigned int delay, TimerUnit unit, bool running, TimerMode mode)
    : running(running), unit(unit), remaining(delay), reload(delay), mode(mode), callback(callback) {}

void Timer::Init() {
    if (unit != Milliseconds) return;
    remaining = reload = InitFrames(remaining, CurrentFrameRate());
}

void Timer::Reset(unsigned int delay, TimerMode newMode) {
    remaining = reload = (unit == Milliseconds) ? ResetFrames(delay, CurrentFrameRate()) : delay;
    mode = newMode;
}

void Timer::Tick(void* owner) {
    if (!running) return;
    if (remaining != 0) {
        --remaining;
        if (remaining == 0 && callback != nullptr) callback(owner);
    }
    // The callback may have reset or stopped this timer; a periodic one still
    // reloads when it found nothing left.
    if (mode == Periodic && remaining == 0) remaining = reload;
}

void Timer::Save(File& file) {
    file.Write(running);
    file.Write(static_cast<std::uint32_t>(unit));
    file.Write(remaining);
    file.Write(reload);
    file.Write(mode);
    file.Write(CallbackNumber(callback));
}

void Timer::Load(File& file) {
    std::uint32_t storedUnit = 0;
    std::int32_t number = -1;
    file.Read(running);
    file.Read(storedUnit);
    file.Read(remaining);
    file.Read(reload);
    file.Read(mode);
    file.Read(number);
    unit = static_cast<TimerUnit>(storedUnit);
    callback = CallbackOfNumber(number);
}
