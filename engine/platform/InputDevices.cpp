#include "platform/InputDevices.h"

#include <SDL.h>

#include <algorithm>
#include <array>
#include <mutex>
#include <vector>

#include "platform/InputDevicesInternal.h"
#include "platform/QuitSignalsInternal.h"
#include "platform/Window.h"

namespace qel {

struct InputDevice::State {
    explicit State(InputDeviceKind k) : kind(k) {}

    InputDeviceKind kind;
    bool acquired = false;
    bool lost = false;      // focus went away while acquired; the next read says so
    bool overflow = false;  // records were dropped since the last read
    std::array<InputRecord, kInputBufferRecords> ring{};
    std::uint32_t first = 0;
    std::uint32_t size = 0;
    std::int32_t injectedFailure = 0;  // answered by the next read instead of the data

    void Clear() {
        first = 0;
        size = 0;
        overflow = false;
    }
    InputRecord& At(std::uint32_t i) { return ring[(first + i) % kInputBufferRecords]; }
    void Push(const InputRecord& r);
    bool MergeMotion(const InputRecord& r);
};

namespace {

// Devices are filled from the event pump and read by the frame step; both run
// on the main thread, but events may be pushed from anywhere.
std::mutex devicesLock;
std::vector<InputDevice::State*> liveDevices;
bool windowHasFocus = true;
std::uint32_t nextSequence = 1;

void Append(InputDeviceKind kind, std::uint32_t offset, std::uint32_t data, std::uint32_t time) {
    InputRecord r{offset, data, time, nextSequence++};
    for (InputDevice::State* d : liveDevices)
        if (d->kind == kind && d->acquired) d->Push(r);
}

void OnFocusChange(bool focus) {
    windowHasFocus = focus;
    if (focus) return;
    for (InputDevice::State* d : liveDevices) {
        if (!d->acquired) continue;
        d->acquired = false;
        d->lost = true;
        d->Clear();
    }
}

std::uint32_t MouseButtonOffset(std::uint8_t sdlButton) {
    switch (sdlButton) {
        case SDL_BUTTON_LEFT: return kMouseOffsetButton0;
        case SDL_BUTTON_RIGHT: return kMouseOffsetButton0 + 1;
        case SDL_BUTTON_MIDDLE: return kMouseOffsetButton0 + 2;
        default: return 0;
    }
}

}  // namespace

// A full buffer keeps the newest records: the state they leave is the true one.
void InputDevice::State::Push(const InputRecord& r) {
    if (size == kInputBufferRecords) {
        if (MergeMotion(r)) return;
        first = (first + 1) % kInputBufferRecords;
        --size;
        overflow = true;
    }
    ring[(first + size) % kInputBufferRecords] = r;
    ++size;
}

// Mouse motion adds into the newest record of the same axis instead of
// overflowing, so a fast mouse never pushes button events out.
bool InputDevice::State::MergeMotion(const InputRecord& r) {
    if (kind != InputDeviceKind::Mouse || r.offset >= kMouseOffsetButton0) return false;
    for (std::uint32_t i = size; i-- > 0;) {
        InputRecord& old = At(i);
        if (old.offset != r.offset) continue;
        const std::int64_t sum = std::int64_t(std::int32_t(old.data)) + std::int32_t(r.data);
        old.data = std::uint32_t(std::int32_t(std::clamp<std::int64_t>(sum, INT32_MIN, INT32_MAX)));
        old.timeStamp = r.timeStamp;
        return true;
    }
    return false;
}

InputDevice::InputDevice(InputDeviceKind kind) : state(std::make_unique<State>(kind)) {
    std::lock_guard<std::mutex> guard(devicesLock);
    liveDevices.push_back(state.get());
}

InputDevice::~InputDevice() {
    std::lock_guard<std::mutex> guard(devicesLock);
    liveDevices.erase(std::remove(liveDevices.begin(), liveDevices.end(), state.get()), liveDevices.end());
}

std::int32_t InputDevice::Acquire() {
    std::lock_guard<std::mutex> guard(devicesLock);
    if (state->acquired) return kInputOk;
    if (!windowHasFocus) return kInputOtherAppHasPriority;
    state->acquired = true;
    state->lost = false;
    state->Clear();
    return kInputOk;
}

void InputDevice::Unacquire() {
    std::lock_guard<std::mutex> guard(devicesLock);
    state->acquired = false;
    state->lost = false;
    state->Clear();
}

bool InputDevice::IsAcquired() const {
    std::lock_guard<std::mutex> guard(devicesLock);
    return state->acquired;
}

std::int32_t InputDevice::Read(InputRecord* records, std::uint32_t& count) {
    std::lock_guard<std::mutex> guard(devicesLock);
    const std::uint32_t room = count;
    count = 0;
    if (state->lost) {
        state->lost = false;
        return kInputLost;
    }
    if (!state->acquired) return kInputNotAcquired;
    if (const std::int32_t failure = state->injectedFailure) {
        state->injectedFailure = 0;
        return failure;
    }
    const std::uint32_t n = records ? std::min(room, state->size) : 0;
    for (std::uint32_t i = 0; i < n; ++i) records[i] = state->At(i);
    state->first = (state->first + n) % kInputBufferRecords;
    state->size -= n;
    count = n;
    const bool overflowed = state->overflow;
    state->overflow = false;
    return overflowed ? kInputBufferOverflow : kInputOk;
}

InputDeviceKind InputDevice::Kind() const { return state->kind; }

bool InputDevice::HasWheel() const { return state->kind == InputDeviceKind::Mouse; }

bool StartInputSystem() {
    InstallQuitSignals();
    return SDL_InitSubSystem(SDL_INIT_EVENTS) == 0;
}

void StopInputSystem() { SDL_QuitSubSystem(SDL_INIT_EVENTS); }

void WindowClientSize(HWND window, std::int32_t& width, std::int32_t& height) {
    width = height = 0;
    if (!IsWindow(window)) return;
    width = window->ClientWidth();
    height = window->ClientHeight();
}

bool CapsLockOn() { return (SDL_GetModState() & KMOD_CAPS) != 0; }

bool NumLockOn() { return (SDL_GetModState() & KMOD_NUM) != 0; }

void FailNextInputRead(InputDeviceKind kind, std::int32_t result) {
    std::lock_guard<std::mutex> guard(devicesLock);
    for (InputDevice::State* d : liveDevices)
        if (d->kind == kind) d->injectedFailure = result;
}

bool InputWindowHasFocus() {
    std::lock_guard<std::mutex> guard(devicesLock);
    return windowHasFocus;
}

bool RouteInputEvent(const SDL_Event& e) {
    std::lock_guard<std::mutex> guard(devicesLock);
    switch (e.type) {
        case SDL_KEYDOWN:
        case SDL_KEYUP: {
            if (e.key.repeat) return true;
            const std::uint8_t code = ScanCodeOfSdlScancode(e.key.keysym.scancode);
            if (code)
                Append(InputDeviceKind::Keyboard, code, e.type == SDL_KEYDOWN ? kInputDownBit : 0, e.key.timestamp);
            return true;
        }
        case SDL_MOUSEMOTION:
            if (e.motion.xrel)
                Append(InputDeviceKind::Mouse, kMouseOffsetX, std::uint32_t(e.motion.xrel), e.motion.timestamp);
            if (e.motion.yrel)
                Append(InputDeviceKind::Mouse, kMouseOffsetY, std::uint32_t(e.motion.yrel), e.motion.timestamp);
            return true;
        case SDL_MOUSEWHEEL: {
            std::int64_t delta = std::int64_t(e.wheel.y) * kWheelDeltaPerNotch;
            if (e.wheel.direction == SDL_MOUSEWHEEL_FLIPPED) delta = -delta;
            delta = std::clamp<std::int64_t>(delta, INT32_MIN, INT32_MAX);
            if (delta)
                Append(InputDeviceKind::Mouse, kMouseOffsetWheel, std::uint32_t(std::int32_t(delta)),
                       e.wheel.timestamp);
            return true;
        }
        case SDL_MOUSEBUTTONDOWN:
        case SDL_MOUSEBUTTONUP: {
            const std::uint32_t offset = MouseButtonOffset(e.button.button);
            if (offset)
                Append(InputDeviceKind::Mouse, offset, e.type == SDL_MOUSEBUTTONDOWN ? kInputDownBit : 0,
                       e.button.timestamp);
            return true;
        }
        case SDL_WINDOWEVENT:
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) OnFocusChange(false);
            if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED) OnFocusChange(true);
            return false;
        default: return false;
    }
}

}  // namespace qel
