#include "input/InputSessionInternal.h"

#include "input/EngineInputSessionInternal.h"

namespace {

// Stands in when no game runs: nothing recorded or replayed, viewport at 0.
class IdleSession : public InputSession {
public:
    bool IsRecording() override { return false; }
    bool IsReplaying() override { return false; }
    std::int32_t ReplayExitKey() override { return 0x3E; }
    RecordedInput Recorded() override { return {}; }
    void RestoreReplayFrameRate() override {}
    void EndReplay() override {}
    Keyboard* GameKeyboard() override { return nullptr; }
    Mouse* GameMouse() override { return nullptr; }
    float ViewportWorldX() override { return 0.0f; }
    float ViewportWorldY() override { return 0.0f; }
    void ConsolePrint(const char*) override {}
    void ConsoleShow() override {}
};

IdleSession idleSession;
InputSession* chosenSession = nullptr;
InputSession* engineSession = nullptr;

}  // namespace

void SetInputSession(InputSession* session) { chosenSession = session; }

InputSession& CurrentInputSession() {
    if (chosenSession) return *chosenSession;
    if (engineSession) return *engineSession;
    return idleSession;
}

void RegisterEngineInputSession(InputSession* session) { engineSession = session; }
