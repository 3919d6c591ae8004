#include "input/Keyboard.h"

#include <cstring>
#include <utility>

#include "input/DeviceBufferInternal.h"
#include "input/InputSessionInternal.h"
#include "input/Mouse.h"
#include "input/RecordedInput.h"
#include "platform/InputDevices.h"

struct KImp : DeviceBuffer {
    KImp() : DeviceBuffer(qel::InputDeviceKind::Keyboard) {}
};

namespace {

constexpr unsigned char kLeftShift = 0x2A;
constexpr unsigned char kRightShift = 0x36;
constexpr unsigned char kEnter = 0x1C;
constexpr unsigned char kBackspace = 0x0E;

// How a scan code of the text table turns into a character.
enum class CharRule : std::uint8_t {
    None,    // not in the table
    Shift,   // the shifted character while Shift is held
    Letter,  // upper case when Caps Lock XOR Shift
    Fixed,   // the same character whatever the modifiers
    Keypad,  // a keypad digit: only while Num Lock is on
};

struct CharEntry {
    CharRule rule = CharRule::None;
    char plain = 0;
    char shifted = 0;
};

struct CharTable {
    CharEntry entries[Keyboard::KeyCount];

    constexpr CharTable() {
        Row(0x02, "1234567890", "!@#$%^&*()");
        Row(0x0C, "-=", "_+");
        Row(0x1A, "[]", "{}");
        Row(0x27, ";'`", ":\"~");
        Row(0x2B, "\\", "|");
        Row(0x33, ",./", "<>?");
        Letters(0x10, "qwertyuiop");
        Letters(0x1E, "asdfghjkl");
        Letters(0x2C, "zxcvbnm");
        Fixed(0x0F, '\t');
        Fixed(0x1C, '\n');
        Fixed(0x9C, '\n');
        Fixed(0x39, ' ');
        Fixed(0x37, '*');
        Fixed(0x4A, '-');
        Fixed(0x4E, '+');
        Fixed(0xB5, '/');
        Keypad(0x47, "789");
        Keypad(0x4B, "456");
        Keypad(0x4F, "1230.");
    }
    constexpr void Row(int first, const char* plain, const char* shifted) {
        for (int i = 0; plain[i]; ++i) entries[first + i] = {CharRule::Shift, plain[i], shifted[i]};
    }
    constexpr void Letters(int first, const char* letters) {
        for (int i = 0; letters[i]; ++i)
            entries[first + i] = {CharRule::Letter, letters[i], char(letters[i] - 'a' + 'A')};
    }
    constexpr void Fixed(int code, char c) { entries[code] = {CharRule::Fixed, c, c}; }
    constexpr void Keypad(int first, const char* digits) {
        for (int i = 0; digits[i]; ++i) entries[first + i] = {CharRule::Keypad, digits[i], digits[i]};
    }
};

constexpr CharTable kChars;

char typedChar[2];

}  // namespace

// The device comes after the DirectInput member, which starts the input system.
Keyboard::Keyboard(HWND hwnd, HINSTANCE hinst) : window(hwnd), imp(nullptr), directInput(hwnd, hinst) {
    imp = new KImp;
    Reset();
    StartReceivingData();
    replayIndex = 0;
}

Keyboard::~Keyboard() {
    StopReceivingData();
    delete imp;
}

std::uint32_t Keyboard::Update(unsigned char*& out) {
    if (!ReadDevice()) return 0;
    InputSession& session = CurrentInputSession();
    if (session.IsReplaying()) return PlayBack();
    const std::uint32_t pairs = ApplyEvents(eventCount, out);
    if (session.IsRecording()) RecordHeldKeys();
    NextFrame();
    return pairs;
}

// False when the frame has no key state to go on (all keys released then).
bool Keyboard::ReadDevice() {
    switch (imp->Read(eventCount, lastResult)) {
        case DeviceBuffer::Outcome::Lost:
            Reset();
            StartReceivingData();
            return false;
        case DeviceBuffer::Outcome::Released: Reset(); return false;
        case DeviceBuffer::Outcome::Events: break;
    }
    return true;
}

std::uint32_t Keyboard::ApplyEvents(std::uint32_t count, unsigned char* out) {
    if (out) std::memset(out, 0, 2 * std::size_t(count));
    std::uint32_t pairs = 0;
    for (std::uint32_t i = 0; i < count; ++i) {
        const qel::InputRecord& e = (*imp)[i];
        if (e.offset >= KeyCount) continue;
        KeyState& key = keys[e.offset];
        key.pressed = (e.data & qel::kInputDownBit) ? 1 : 0;
        if (out) {
            out[2 * pairs] = static_cast<unsigned char>(e.offset);
            out[2 * pairs + 1] = key.pressed;
        }
        ++pairs;
    }
    return pairs;
}

void Keyboard::RecordHeldKeys() {
    RecordedKeys* frames = CurrentInputSession().Recorded().keys;
    if (!frames) return;
    unsigned char held[KeyCount];
    std::size_t count = 0;
    for (unsigned int k = 0; k < KeyCount; ++k)
        if (keys[k].pressed) held[count++] = static_cast<unsigned char>(k);
    frames->Add(KeyboardInputKeys(held, count));
}

// While replaying: the device's events still reach the keys, so that the real
// exit key is seen; then the recorded frame replaces them.
std::uint32_t Keyboard::PlayBack() {
    InputSession& session = CurrentInputSession();
    ApplyEvents(eventCount, nullptr);
    const RecordedKeys* frames = session.Recorded().keys;
    const std::uint32_t frameCount = frames ? frames->Size() : 0;
    const std::int32_t exitKey = session.ReplayExitKey();
    const bool exitPressed = exitKey >= 0 && exitKey < std::int32_t(KeyCount) && keys[exitKey].pressed;
    if (replayIndex >= frameCount || exitPressed) {
        session.RestoreReplayFrameRate();
        replayIndex = 0;
        Reset();
        if (Mouse* mouse = session.GameMouse()) mouse->EndPlayback();
        session.EndReplay();
        return 0;
    }
    for (KeyState& key : keys) key.pressed = 0;
    for (unsigned char code : (*frames)[replayIndex]) keys[code].pressed = 1;
    ++replayIndex;
    NextFrame();
    return 0;
}

void Keyboard::NextFrame() {
    for (KeyState& key : keys) key.NextFrame();
}

bool Keyboard::Nothing() const {
    for (const KeyState& key : keys)
        if (key.pressed) return false;
    return true;
}

bool Keyboard::GetKey(unsigned char& k) const {
    for (unsigned int i = 0; i < KeyCount; ++i) {
        if (keys[i].triggered) {
            k = static_cast<unsigned char>(i);
            return true;
        }
    }
    return false;
}

void Keyboard::Reset() {
    for (KeyState& key : keys) key.Reset();
}

int Keyboard::StartReceivingData() {
    Reset();
    lastResult = imp->Acquire();
    return lastResult;
}

void Keyboard::StopReceivingData() { imp->Unacquire(); }

const char* Keyboard::GetCharAsString() {
    typedChar[0] = typedChar[1] = 0;
    unsigned char code = 0;
    if (!GetKey(code)) return typedChar;
    const CharEntry& entry = kChars.entries[code];
    const bool shift = IsPressed(kLeftShift) || IsPressed(kRightShift);
    switch (entry.rule) {
        case CharRule::None: break;
        case CharRule::Shift: typedChar[0] = shift ? entry.shifted : entry.plain; break;
        case CharRule::Letter: typedChar[0] = (qel::CapsLockOn() != shift) ? entry.shifted : entry.plain; break;
        case CharRule::Fixed: typedChar[0] = entry.plain; break;
        case CharRule::Keypad:
            if (qel::NumLockOn()) typedChar[0] = entry.plain;
            break;
    }
    return typedChar;
}

int Keyboard::GetString(char* buf, unsigned int max) {
    if (!buf) return 0;
    if (IsTriggered(kEnter)) return 1;
    if (IsTriggered(kBackspace)) {
        const std::size_t length = std::strlen(buf);
        if (length) buf[length - 1] = 0;
    } else if (std::strlen(buf) < max) {
        std::strcat(buf, GetCharAsString());
    }
    return std::strlen(buf) >= max ? 2 : 0;
}
