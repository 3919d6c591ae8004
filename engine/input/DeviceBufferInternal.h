// What the keyboard and the mouse each hold of their device: the event buffer
// of one frame's read and the device itself (none when the input system could
// not start), with the read outcomes both react to in the same way.
#pragma once
#include <cstdint>
#include <memory>
#include "platform/InputDevices.h"

class DeviceBuffer {
public:
    // How a frame's read went, as far as the key and button states care.
    enum class Outcome {
        Events,    // the buffer holds `count` events (0 after a failed read)
        Released,  // no device, or not acquired: every key is up
        Lost,      // the focus went away: every key is up; acquire again
    };

    explicit DeviceBuffer(qel::InputDeviceKind kind);

    // A read that failed in any way other than "not acquired" or "lost" is a
    // frame without events, so the per-frame rule still runs and a held key
    // never triggers twice; an overflow still delivers what it kept.
    Outcome Read(std::uint32_t& count, std::int32_t& result);
    // 0 when acquired (or already), else the device's result.
    std::int32_t Acquire();
    void Unacquire();
    bool HasDevice() const { return device != nullptr; }
    bool HasWheel() const { return device && device->HasWheel(); }
    const qel::InputRecord& operator[](std::uint32_t i) const { return records[i]; }

    // The answer of every call when there is no device.
    static constexpr std::int32_t kNotInitialized = std::int32_t(0x80070015u);

private:
    qel::InputRecord records[qel::kInputBufferRecords];
    std::unique_ptr<qel::InputDevice> device;
};
