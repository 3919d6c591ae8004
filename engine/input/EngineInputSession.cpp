// The engine's input session: the running game as the devices see it. The
// devices reach the game only through here.
#include "input/EngineInputSessionInternal.h"

#include "foundation/Console.h"
#include "input/InputSession.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "world/ViewPort.h"

namespace {

class EngineInputSession : public InputSession {
public:
    EngineInputSession() { RegisterEngineInputSession(this); }

    bool IsRecording() override { return myGame && myGame->recording; }
    bool IsReplaying() override { return myGame && myGame->replayMode; }
    std::int32_t ReplayExitKey() override { return myGame ? myGame->ReplayExitKey() : 0x3E; }

    RecordedInput Recorded() override { return gNode ? gNode->Recorded() : RecordedInput(); }

    void RestoreReplayFrameRate() override {
        if (myGame && gNode) gNode->FPStoMS(myGame->replayFrameRate);
    }

    void EndReplay() override {
        if (!myGame) return;
        myGame->replayMode = false;
        myGame->LoadGame(workingDirectory + String("\\gamesavewhenreplay.sat"));
    }

    Keyboard* GameKeyboard() override { return pKeyboard; }
    Mouse* GameMouse() override { return pMouse; }

    float ViewportWorldX() override { return gNode ? gNode->GetViewPort().WorldXPos() : 0.0f; }
    float ViewportWorldY() override { return gNode ? gNode->GetViewPort().WorldYPos() : 0.0f; }

    void ConsolePrint(const char* text) override {
        if (pConsole) pConsole->Print("%s", text);
    }
    void ConsoleShow() override {
        if (pConsole) pConsole->Show(true);
    }
};

EngineInputSession engineSession;

}  // namespace

void UseEngineInputSession() { RegisterEngineInputSession(&engineSession); }
