// The keyboard, read once per frame: one KeyState per scan code, the frame's
// key events for the network exchange, recording and playback of the keys held
// in every frame, and simple text entry with a US layout.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "input/DirectInput.h"
#include "input/KeyState.h"
#include "platform/Handles.h"
#include "platform/Resources.h"

struct KImp;

class QEL_API Keyboard {
public:
    static constexpr unsigned int KeyCount = 256;

    Keyboard(HWND hwnd, HINSTANCE hinst);
    ~Keyboard();
    Keyboard(const Keyboard&) = delete;
    Keyboard& operator=(const Keyboard&) = delete;

    // Once per frame. `out` points to room for 512 bytes: one (scan code, down)
    // pair per event read, and stays pointing there. Returns the pairs written.
    std::uint32_t Update(unsigned char*& out);

    bool IsPressed(unsigned char k) const { return keys[k].pressed != 0; }
    bool IsNotPressed(unsigned char k) const { return !IsPressed(k); }
    bool IsTriggered(unsigned char k) const { return keys[k].triggered != 0; }
    bool IsNotTriggered(unsigned char k) const { return !IsTriggered(k); }
    std::uint32_t TapCounter(unsigned char k) { return keys[k].TapCounter(); }
    std::uint32_t HoldCounter(unsigned char k) const { return keys[k].holdFrames; }
    bool Nothing() const;
    bool Any() const { return !Nothing(); }
    // The lowest triggered scan code; false (k untouched) when none.
    bool GetKey(unsigned char& k) const;
    void Reset();

    // Reset, then acquire: 0 when acquired (or already), else the device's result.
    int StartReceivingData();
    void StopReceivingData();

    // The character of the lowest triggered key, or "" (one shared buffer).
    const char* GetCharAsString();
    // One frame of line editing on buf (room for max + 1 bytes): 1 on Enter,
    // 2 when buf is full, else 0.
    int GetString(char* buf, unsigned int max);

private:
    bool ReadDevice();
    std::uint32_t ApplyEvents(std::uint32_t count, unsigned char* out);
    void RecordHeldKeys();
    std::uint32_t PlayBack();
    void NextFrame();

    HWND window;
    KeyState keys[KeyCount];
    std::uint32_t eventCount = 0;
    KImp* imp;
    DirectInput directInput;
    std::uint32_t replayIndex = 0;
    std::int32_t lastResult = 0;
};
