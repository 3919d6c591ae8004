#include "input/DeviceBufferInternal.h"

#include "input/DirectInput.h"

DeviceBuffer::DeviceBuffer(qel::InputDeviceKind kind) {
    if (DirectInput::Ready()) device = std::make_unique<qel::InputDevice>(kind);
}

DeviceBuffer::Outcome DeviceBuffer::Read(std::uint32_t& count, std::int32_t& result) {
    count = 0;
    if (!device) {
        result = kNotInitialized;
        return Outcome::Released;
    }
    count = qel::kInputBufferRecords;
    result = device->Read(records, count);
    if (result == qel::kInputNotAcquired) return Outcome::Released;
    if (result == qel::kInputLost) return Outcome::Lost;
    if (result != qel::kInputOk && result != qel::kInputBufferOverflow) count = 0;
    return Outcome::Events;
}

std::int32_t DeviceBuffer::Acquire() { return device ? device->Acquire() : kNotInitialized; }

void DeviceBuffer::Unacquire() {
    if (device) device->Unacquire();
}
