#include "logic/Timer.h"

#include <bit>
#include <limits>

#include "foundation/File.h"
#include "logic/FrameRateInternal.h"
#include "logic/LogicTables.h"

namespace {

constexpr TimerUnit Milliseconds = 1;
constexpr TimerMode Periodic = 1;

// Milliseconds become frames in 64-bit-significand precision: every product
// is rounded to 64 significant bits (to nearest, ties to even) and 0.001 is
// the nearest such value, which lies just below one thousandth. The order of
// the products decides whether an exact result keeps its last frame (1000 ms
// at 60 fps: 60 or 59). The arithmetic is done in integers so that every
// build and every peer counts the same frames.

// The value significand x 2^exponent; the significand has at most 64 bits.
struct Extended {
    std::uint64_t significand;
    int exponent;
};

// 0.001 to 64 significant bits: 9444732965739290427 x 2^-73.
constexpr Extended OneThousandth{9444732965739290427ull, -73};

__extension__ typedef unsigned __int128 Wide;

int SignificantBits(Wide value) {
    const auto high = static_cast<std::uint64_t>(value >> 64);
    if (high != 0) return 128 - std::countl_zero(high);
    return 64 - std::countl_zero(static_cast<std::uint64_t>(value));
}

// The exact product (at most 128 bits) rounded to 64 significant bits.
Extended Multiply(Extended a, Extended b) {
    const Wide product = static_cast<Wide>(a.significand) * b.significand;
    const int shift = SignificantBits(product) - 64;
    if (shift <= 0) return {static_cast<std::uint64_t>(product), a.exponent + b.exponent};
    Wide kept = product >> shift;
    const Wide rest = product - (kept << shift);
    const Wide half = static_cast<Wide>(1) << (shift - 1);
    if (rest > half || (rest == half && (kept & 1) != 0)) ++kept;
    int exponent = a.exponent + b.exponent + shift;
    // Rounding up all ones gives 2^64, which is exactly 2^63 x 2.
    if ((kept >> 64) != 0) {
        kept >>= 1;
        ++exponent;
    }
    return {static_cast<std::uint64_t>(kept), exponent};
}

constexpr Extended Whole(std::uint64_t n) { return {n, 0}; }

// Truncated toward zero; 2^32 frames and more hold at the largest count.
std::uint32_t TruncatedFrames(Extended frames) {
    constexpr std::uint32_t Most = std::numeric_limits<std::uint32_t>::max();
    if (frames.significand == 0) return 0;
    if (frames.exponent >= 32) return Most;
    if (frames.exponent >= 0)
        return (frames.significand >> (32 - frames.exponent)) != 0
                   ? Most
                   : static_cast<std::uint32_t>(frames.significand << frames.exponent);
    if (frames.exponent <= -64) return 0;
    const std::uint64_t whole = frames.significand >> -frames.exponent;
    return whole > Most ? Most : static_cast<std::uint32_t>(whole);
}

std::uint32_t InitFrames(std::uint32_t milliseconds, unsigned int rate) {
    const Extended perMillisecond = Multiply(Whole(rate), OneThousandth);
    return TruncatedFrames(Multiply(Whole(milliseconds), perMillisecond));
}

std::uint32_t ResetFrames(std::uint32_t milliseconds, unsigned int rate) {
    // Both factors have 32 bits: their product is exact.
    const std::uint64_t product = static_cast<std::uint64_t>(milliseconds) * rate;
    return TruncatedFrames(Multiply(Whole(product), OneThousandth));
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
