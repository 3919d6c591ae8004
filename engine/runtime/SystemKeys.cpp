#include "runtime/SystemKeysInternal.h"

#include <cstdio>

#include "display/DisplayInternal.h"
#include "foundation/Console.h"
#include "foundation/Variable.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "platform/Clock.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sound/LevelSounds.h"
#include "sound/SoundCard.h"

namespace {

constexpr std::uint32_t FpsRefreshMs = 100;

bool Triggered(std::uint8_t key) { return pKeyboard->IsTriggered(key); }

bool OnNetworkLevel() { return gNode->NetworkLevel; }
bool Recording() { return myGame->recording; }
bool Replaying() { return myGame->ReplayMode(); }

// A screen saver ends at the first key, button or mouse move, except in the
// preview (windowed). No password can guard it here. True: no keys this frame.
bool EndScreenSaverOnInput() {
    const bool input = !pKeyboard->Nothing() || (pMouse != nullptr && (!pMouse->Nothing() || pMouse->IsMoving()));
    if (!input) return false;
    if (!_IsWindowed) myGame->EndGame();
    return true;
}

void SwitchFullScreen() {
    ToggleFullScreen();
    qel::Sleep(1000);
    sound::RestartWantedMidiFiles(*gNode);
}

// Keyboard input goes on while paused, so that the same key can resume.
void SwitchPause() {
    _IsSuspended = !_IsSuspended;
    if (_IsSuspended) {
        if (pMouse != nullptr) pMouse->StopReceivingData();
        SoundCard::ManageBuffers(false);
    } else {
        gNode->NResetKM();
        if (pMouse != nullptr) pMouse->StartReceivingData();
        SoundCard::ManageBuffers(true);
    }
}

void SwitchConsole() {
    if (pConsole != nullptr) pConsole->Show(!pConsole->Show());
}

struct SystemKey {
    std::uint8_t key;
    bool (*allowed)();
    void (*action)();
};

// In the order they are tested; only the first key triggered is acted on,
// whether it is allowed or not.
const SystemKey systemKeys[] = {
    {systemkey::SysRq, [] { return !OnNetworkLevel() && !Recording() && !Replaying(); },
     [] { myGame->SaveScreenShot(); }},
    {systemkey::F12, [] { return true; }, SwitchFullScreen},
    {systemkey::F10, [] { return !Recording() && !Replaying(); }, SwitchPause},
    {systemkey::Escape, [] { return gNode->QuitOnEscape(); }, [] { myGame->EndGame(); }},
    {systemkey::F5, [] { return !OnNetworkLevel() && !Replaying(); }, [] { myGame->SaveGame(); }},
    {systemkey::F6, [] { return !OnNetworkLevel() && !Replaying(); }, [] { myGame->LoadGame(); }},
    {systemkey::F7, [] { return !OnNetworkLevel() && !Replaying(); }, [] { myGame->SaveReplay(); }},
    {systemkey::F8, [] { return !OnNetworkLevel() && !Replaying(); }, [] { myGame->LoadReplay(); }},
    {systemkey::F1, [] { return !OnNetworkLevel(); }, [] { myGame->StartRecording(); }},
    {systemkey::F2, [] { return !OnNetworkLevel(); }, [] { myGame->StopRecording(); }},
    {systemkey::F3, [] { return !OnNetworkLevel(); }, [] { myGame->Replay(false); }},
    {systemkey::F9, [] { return true; }, SwitchConsole},
};

// The frame-rate display's state, shared by every level for the whole run.
struct FpsDisplay {
    bool started = false;
    float shownRate = 0.0f;
    std::uint32_t lastRefresh = 0;
    char text[32] = "FPS = ";
};
FpsDisplay fpsDisplay;

}  // namespace

void HandleSystemKeys() {
    if (pKeyboard == nullptr || myGame == nullptr || gNode == nullptr) return;
    if (_IsScreenSaver && EndScreenSaverOnInput()) return;
    for (const SystemKey& k : systemKeys) {
        if (!Triggered(k.key)) continue;
        if (k.allowed()) k.action();
        return;
    }
}

void UpdateFpsDisplay(Variable& fps) {
    if (pKeyboard != nullptr && pKeyboard->IsTriggered(systemkey::F11)) fps.Visible(!fps.Visible());
    const float measured = gNode != nullptr ? gNode->MeasuredRate() : 0.0f;
    const std::uint32_t now = qel::TimeGetTime();
    if (!fpsDisplay.started) {
        fpsDisplay.started = true;
        fpsDisplay.shownRate = measured;
        fpsDisplay.lastRefresh = now;
    }
    if (now - fpsDisplay.lastRefresh >= FpsRefreshMs) {
        fpsDisplay.lastRefresh = now;
        fpsDisplay.shownRate = measured;
    }
    if (!fps.Visible()) return;
    std::snprintf(fpsDisplay.text, sizeof fpsDisplay.text, "FPS = %0.2f", double(fpsDisplay.shownRate));
    fps = fpsDisplay.text;
}
