#include "input/Mouse.h"

#include <algorithm>
#include <cmath>

#include "foundation/FloatToInt.h"
#include "foundation/UserError.h"
#include "input/DeviceBufferInternal.h"
#include "input/InputSessionInternal.h"
#include "input/Keyboard.h"
#include "input/RecordedInput.h"
#include "platform/InputDevices.h"

struct MoImp : DeviceBuffer {
    MoImp() : DeviceBuffer(qel::InputDeviceKind::Mouse) {}
};

namespace {

// One event's value is a signed byte; a larger delta travels as several events.
constexpr std::int32_t kLargestEventValue = 127;

std::int32_t ClampToInt32(std::int64_t v) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, INT32_MIN, INT32_MAX));
}

bool Inside(std::int64_t px, std::int64_t py, const QelRect& r) {
    return px >= r.left && px < r.right && py >= r.top && py < r.bottom;
}

// Room for the events of one frame in the caller's array.
class EventWriter {
public:
    explicit EventWriter(MouseEvent* out) : out(out) {}

    // `later`: events of the frame still to come, each of which keeps its room.
    void Write(std::uint8_t kind, std::int32_t value, std::int32_t world, std::uint32_t later) {
        const std::uint32_t room = qel::kInputBufferRecords - std::min(later, qel::kInputBufferRecords);
        do {
            if (!out || count >= room) return;
            std::int32_t piece = std::clamp(value, -kLargestEventValue, kLargestEventValue);
            if (count + 1 == room) piece = std::clamp(value, -128, 127);
            MouseEvent& e = out[count++];
            e = MouseEvent();
            e.kind = kind;
            e.value = static_cast<std::int8_t>(piece);
            e.world = world;
            value -= piece;
        } while (value != 0);
    }
    std::uint32_t Count() const { return count; }

private:
    MouseEvent* out;
    std::uint32_t count = 0;
};

}  // namespace

// The device comes after the DirectInput member, which starts the input system.
Mouse::Mouse(HWND hwnd, HINSTANCE hinst) : window(hwnd), imp(nullptr), directInput(hwnd, hinst) {
    imp = new MoImp;
    std::int32_t width = 0, height = 0;
    qel::WindowClientSize(hwnd, width, height);
    motionRect = {0, 0, width, height};
    ResetKeys();
    hasWheel = imp->HasWheel() ? 1 : 0;
    StartReceivingData();
}

Mouse::~Mouse() {
    StopReceivingData();
    delete imp;
}

std::uint32_t Mouse::Update(MouseEvent*& out) {
    ++frameCounter;
    for (std::uint8_t& flag : doubleClicked) flag = 0;
    if (!ReadDevice()) return 0;
    if (CurrentInputSession().IsReplaying()) return PlayBack();
    const std::uint32_t written = ApplyEvents(out);
    NextFrame();
    return written;
}

// False when there is no button state to go on (all buttons released then).
bool Mouse::ReadDevice() {
    switch (imp->Read(eventCount, lastResult)) {
        case DeviceBuffer::Outcome::Lost:
            ResetKeys();
            StartReceivingData();
            return false;
        case DeviceBuffer::Outcome::Released: ResetKeys(); return false;
        case DeviceBuffer::Outcome::Events: break;
    }
    return true;
}

std::uint32_t Mouse::ApplyEvents(MouseEvent* out) {
    InputSession& session = CurrentInputSession();
    EventWriter writer(out);
    movedX = movedY = movedWheel = 0;
    std::uint8_t flags = 0;
    std::int64_t sumX = 0, sumY = 0, sumWheel = 0;
    for (std::uint32_t i = 0; i < eventCount; ++i) {
        const qel::InputRecord& e = (*imp)[i];
        const double delta = static_cast<std::int32_t>(e.data);
        const std::uint32_t later = eventCount - i - 1;
        switch (e.offset) {
            case qel::kMouseOffsetX:
                movedX = 1;
                relX = TruncToInt32(delta * sensitivity);
                MoveAxis(x, relX, motionRect.left, motionRect.right);
                sumX += relX;
                flags |= MouseFlagMovedX;
                writer.Write(MouseEvent::MoveX, relX, WorldX(), later);
                break;
            case qel::kMouseOffsetY:
                movedY = 1;
                relY = TruncToInt32(delta * sensitivity);
                MoveAxis(y, relY, motionRect.top, motionRect.bottom);
                sumY += relY;
                flags |= MouseFlagMovedY;
                writer.Write(MouseEvent::MoveY, relY, WorldY(), later);
                break;
            case qel::kMouseOffsetWheel:
                movedWheel = 1;
                wheel = TruncToInt32(delta * sensitivity);
                sumWheel += wheel;
                flags |= MouseFlagWheel;
                writer.Write(MouseEvent::Wheel, wheel, 0, later);
                break;
            case qel::kMouseOffsetButton0:
            case qel::kMouseOffsetButton0 + 1:
            case qel::kMouseOffsetButton0 + 2: {
                const unsigned int b = e.offset - qel::kMouseOffsetButton0;
                buttons[b].pressed = (e.data & qel::kInputDownBit) ? 1 : 0;
                writer.Write(static_cast<std::uint8_t>(MouseEvent::Button0 << b), buttons[b].pressed, 0, later);
                break;
            }
            default: writer.Write(MouseEvent::None, 0, 0, later); break;
        }
    }
    if (session.IsRecording()) {
        // The buttons go in as they stand after the frame's events, the form in
        // which playback reads them back.
        if (buttons[0].pressed) flags |= MouseFlagButton0;
        if (buttons[1].pressed) flags |= MouseFlagButton1;
        if (buttons[2].pressed) flags |= MouseFlagButton2;
        RecordedInput recorded = session.Recorded();
        if (recorded.mouseFlags && recorded.mouseMoves) {
            recorded.mouseFlags->Add(flags);
            recorded.mouseMoves->Add({ClampToInt32(sumX), ClampToInt32(sumY), ClampToInt32(sumWheel)});
        }
    }
    return writer.Count();
}

// Once the recorded motion runs out, or on the exit key, the mouse holds still
// with its buttons up; the keyboard ends the replay and rewinds it.
std::uint32_t Mouse::PlayBack() {
    InputSession& session = CurrentInputSession();
    RecordedInput recorded = session.Recorded();
    const std::uint32_t records = recorded.mouseFlags && recorded.mouseMoves
                                      ? std::min(recorded.mouseFlags->Size(), recorded.mouseMoves->Size())
                                      : 0;
    const std::int32_t exitKey = session.ReplayExitKey();
    const Keyboard* keyboard = session.GameKeyboard();
    const bool exitTriggered = keyboard && exitKey >= 0 && exitKey < std::int32_t(Keyboard::KeyCount) &&
                               keyboard->IsTriggered(static_cast<unsigned char>(exitKey));
    movedX = movedY = movedWheel = 0;
    if (replayIndex >= records || exitTriggered) {
        ResetKeys();
        return 0;
    }
    const MouseRelMove& move = (*recorded.mouseMoves)[replayIndex];
    const std::uint8_t flags = (*recorded.mouseFlags)[replayIndex];
    relX = move.x;
    if (flags & MouseFlagMovedX) {
        movedX = 1;
        MoveAxis(x, relX, motionRect.left, motionRect.right);
    }
    relY = move.y;
    if (flags & MouseFlagMovedY) {
        movedY = 1;
        MoveAxis(y, relY, motionRect.top, motionRect.bottom);
    }
    wheel = move.wheel;
    if (flags & MouseFlagWheel) movedWheel = 1;
    buttons[0].pressed = (flags & MouseFlagButton0) ? 1 : 0;
    buttons[1].pressed = (flags & MouseFlagButton1) ? 1 : 0;
    buttons[2].pressed = (flags & MouseFlagButton2) ? 1 : 0;
    ++replayIndex;
    NextFrame();
    return 0;
}

void Mouse::EndPlayback() {
    replayIndex = 0;
    ResetKeys();
}

void Mouse::MoveAxis(std::int32_t& position, std::int32_t delta, std::int32_t low, std::int32_t high) {
    std::int64_t p = std::int64_t(position) + delta;
    if (p >= high) p = std::int64_t(high) - 1;
    if (p < low) p = low;
    position = static_cast<std::int32_t>(p);
}

void Mouse::NextFrame() {
    for (KeyState& b : buttons) b.NextFrame();
    for (unsigned int b = 0; b < ButtonCount; ++b) {
        if (!buttons[b].triggered) continue;
        if (firstPress[b] == 0) {
            firstPress[b] = frameCounter;
            continue;
        }
        const std::uint32_t gap = frameCounter - firstPress[b];
        if (gap >= minimum && gap <= maximum) doubleClicked[b] = 1;
        firstPress[b] = 0;
    }
}

bool Mouse::IsPressed(unsigned char b) const { return b < ButtonCount && buttons[b].pressed; }

bool Mouse::IsTriggered(unsigned char b) const { return b < ButtonCount && buttons[b].triggered; }

std::uint32_t Mouse::TapCounter(unsigned char b) { return b < ButtonCount ? buttons[b].TapCounter() : 0; }

std::uint32_t Mouse::HoldCounter(unsigned char b) const { return b < ButtonCount ? buttons[b].holdFrames : 0; }

bool Mouse::IsDoubleClicked(unsigned char b) const { return doubleClicked[b < 2 ? b : 2] != 0; }

void Mouse::DoubleClickSpeed(unsigned int s) {
    s = std::max(s, accuracy);
    minimum = s - accuracy;
    maximum = s + accuracy;
}

void Mouse::SetSensitivity(int level) {
    switch (level) {
        case 0: sensitivity = 1.0f; break;
        case 1: sensitivity = 0.5f; break;
        case 2: sensitivity = 2.0f; break;
        default: break;
    }
}

int Mouse::WorldX() const { return TruncToInt32(CurrentInputSession().ViewportWorldX() + static_cast<float>(x)); }

int Mouse::WorldY() const { return TruncToInt32(CurrentInputSession().ViewportWorldY() + static_cast<float>(y)); }

int Mouse::Wheel() const {
    if (!movedWheel) return 0;
    return wheel >= 1 ? 1 : -1;
}

bool Mouse::Nothing() const {
    for (const KeyState& b : buttons)
        if (b.pressed) return false;
    return true;
}

bool Mouse::GetKey(unsigned char& b) const {
    for (unsigned int i = 0; i < ButtonCount; ++i) {
        if (buttons[i].triggered) {
            b = static_cast<unsigned char>(i);
            return true;
        }
    }
    return false;
}

bool Mouse::InRect(QelRect* r) const { return r && Inside(x, y, *r); }

void Mouse::Locate(unsigned int newX, unsigned int newY) {
    if (!Inside(newX, newY, motionRect)) {
        UserError::Report("void Mouse::Locate(unsigned int,unsigned int)",
                          "The new location (%d, %d) of the mouse is outside its motion rect, so it is not set.",
                          static_cast<int>(newX), static_cast<int>(newY));
        return;
    }
    x = static_cast<std::int32_t>(newX);
    y = static_cast<std::int32_t>(newY);
}

void Mouse::SetMotionRect(QelRect* r) {
    if (!r || r->right <= r->left || r->bottom <= r->top) {
        UserError::Report("void Mouse::SetMotionRect(QelRect *)",
                          "The new motion rectangle is empty or not provided, so the motion rectangle is not set.");
        return;
    }
    motionRect = *r;
    x = r->left;
    y = r->top;
}

void Mouse::ResetKeys() {
    for (KeyState& b : buttons) b.Reset();
}

int Mouse::StartReceivingData() {
    ResetKeys();
    lastResult = imp->Acquire();
    return lastResult;
}

void Mouse::StopReceivingData() { imp->Unacquire(); }

MouseRecord Mouse::Record() const {
    MouseRecord r;
    r.sensitivity = sensitivity;
    r.x = x;
    r.y = y;
    r.relX = relX;
    r.relY = relY;
    r.wheel = wheel;
    r.motionRect = motionRect;
    r.movedX = movedX;
    r.movedY = movedY;
    r.accuracy = accuracy;
    r.minimum = minimum;
    r.maximum = maximum;
    r.doubleClicked0 = doubleClicked[0];
    r.doubleClicked1 = doubleClicked[1];
    for (unsigned int b = 0; b < ButtonCount; ++b) r.firstPress[b] = firstPress[b];
    return r;
}

void Mouse::Restore(const MouseRecord& r) {
    if (std::isfinite(r.sensitivity)) sensitivity = r.sensitivity;
    if (r.motionRect.right > r.motionRect.left && r.motionRect.bottom > r.motionRect.top) motionRect = r.motionRect;
    x = r.x;
    y = r.y;
    MoveAxis(x, 0, motionRect.left, motionRect.right);
    MoveAxis(y, 0, motionRect.top, motionRect.bottom);
    relX = r.relX;
    relY = r.relY;
    wheel = r.wheel;
    movedX = r.movedX;
    movedY = r.movedY;
    accuracy = r.accuracy;
    minimum = r.minimum;
    maximum = r.maximum;
    doubleClicked[0] = r.doubleClicked0;
    doubleClicked[1] = r.doubleClicked1;
    for (unsigned int b = 0; b < ButtonCount; ++b) firstPress[b] = r.firstPress[b];
}
