#include "platform/Clock.h"
#include "testing/TestHooks.h"

#include <atomic>
#include <chrono>
#include <thread>

namespace qel {

namespace {
std::atomic<bool> virtualOn{false};
std::atomic<std::uint32_t> virtualNow{0};
std::atomic<std::uint32_t> virtualStep{1};

const std::chrono::steady_clock::time_point origin = std::chrono::steady_clock::now();
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
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void SleepMicroseconds(std::uint32_t us) {
    if (!virtualOn.load()) std::this_thread::sleep_for(std::chrono::microseconds(us));
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
