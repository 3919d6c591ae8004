#include "platform/Clock.h"
#include "platform/QuitSignalsInternal.h"
#include "platform/WindowInternal.h"
#include "testing/TestHooks.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

namespace qel {

namespace {
std::atomic<bool> virtualOn{false};
std::atomic<std::uint32_t> virtualNow{0};
std::atomic<std::uint32_t> virtualStep{1};

const std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();

// How late the interface thread notices a signal that asks the game to end.
constexpr auto QuitCheckInterval = std::chrono::milliseconds(10);
}  // namespace

std::uint32_t TimeGetTime() {
    if (virtualOn.load()) return virtualNow.fetch_add(virtualStep.load());
    auto elapsed = std::chrono::steady_clock::now() - origin;
    // Truncation to 32 bits is the wrap every 49.7 days that callers expect.
    return std::uint32_t(std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void Sleep(std::uint32_t ms) {
    if (virtualOn.load()) {
        virtualNow.fetch_add(ms);
        return;
    }
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    if (!IsUiThread()) {
        std::this_thread::sleep_until(end);
        return;
    }
    // The game's pauses (a second at start-up, after some keys) do not hold
    // up its end.
    while (!QuitSignalled()) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= end) return;
        std::this_thread::sleep_until(std::min(end, now + QuitCheckInterval));
    }
}

void SleepUntil(std::uint32_t time) {
    if (virtualOn.load()) {
        std::uint32_t now = virtualNow.load();
        while (std::int32_t(time - now) > 0 && !virtualNow.compare_exchange_weak(now, time)) {
        }
        return;
    }
    // The tick is a whole millisecond of the same steady clock TimeGetTime counts.
    const auto since = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - origin);
    const std::int32_t ahead = std::int32_t(time - std::uint32_t(since.count()));
    if (ahead > 0) std::this_thread::sleep_until(origin + since + std::chrono::milliseconds(ahead));
}

void UseVirtualClock(std::uint32_t start, std::uint32_t stepPerRead) {
    virtualNow = start;
    virtualStep = stepPerRead;
    virtualOn = true;
}

void UseRealClock() { virtualOn = false; }

bool IsVirtualClock() { return virtualOn.load(); }

void AdvanceVirtualClock(std::uint32_t ms) { virtualNow.fetch_add(ms); }

}  // namespace qel
