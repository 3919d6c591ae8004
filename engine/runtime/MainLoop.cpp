#include "runtime/MainLoopInternal.h"

#include <mutex>

#include "display/GammaRamp.h"
#include "display/LoadingInternal.h"
#include "display/OpenClose.h"
#include "display/RandomDissolve.h"
#include "foundation/Variable.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "platform/HeapTuning.h"
#include "platform/MessageQueue.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/FrameStepInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "runtime/QelMainInternal.h"
#include "sound/SoundCard.h"
#include "sprites/SpriteListInternal.h"

namespace {

// The exit hook of the level left is skipped on the first switch of a run.
bool switchedBefore = false;

}  // namespace

void ResetLevelSwitching() { switchedBefore = false; }

bool TransitionRunning() {
    return (Effect_OpenClose != nullptr && Effect_OpenClose->IsRunning()) ||
           (Effect_RandomDissolve != nullptr && Effect_RandomDissolve->IsRunning()) ||
           (Effect_GammaRamp != nullptr && Effect_GammaRamp->IsRunning());
}

void LevelSwitch() {
    GameNode* leaving = gNode;
    if (switchedBefore && leaving != nullptr && leaving->OnLevelExitP != nullptr) leaving->OnLevelExitP(leaving);
    switchedBefore = true;
    Loading loading;
    myGame->StopRecording();
    pMainCharacter = nullptr;
    if (leaving != nullptr) leaving->Empty();
    EmptyActorTable();
    myGame->ChangePending(false);
    myGame->RecordSwitchInHistory();
    {
        // Network workers read the current level under this lock.
        std::lock_guard<qel::CriticalSection> hold(NetQueueLock);
        gNode = Game::Search(myGame->LevelNumber());
    }
    myGame->ShowCursor(false);
    gNode->Execute();
    if (!gNode->NetworkLevel) myGame->CloseNetworkSession();
    if (pKeyboard != nullptr) pKeyboard->Reset();
    if (pMouse != nullptr) pMouse->ResetKeys();
    Variable::UpdateTextMaps();
    qel::GiveBackFreeHeap();
}

bool MainLoopPass(int& quitCode) {
    gNode->StartTimer();
    const std::uint32_t passStart = gNode->FrameStart();
    bool switched = false;
    while (myGame->ChangePending() && !TransitionRunning()) {
        LevelSwitch();
        switched = true;
    }
    // A level entered in this pass measures this pass from its start, not
    // from its own last visit.
    if (switched) gNode->FrameStart(passStart);

    qel::Message message;
    if (qel::PeekMessage(message)) {
        if (message.message == qel::Msg::Quit) {
            quitCode = ShutDown(static_cast<int>(message.wParam));
            return false;
        }
        qel::DispatchMessage(message);
    }
    if (!_IsQuitting)
        FrameStep();
    else if (qel::IsWindow(_Ghwnd))
        qel::DestroyWindow(_Ghwnd);
    SoundCard::UpdateBuffers();
    gNode->EndTimer();
    gNode->Idle();
    return true;
}

int RunMainLoop() {
    int quitCode = 0;
    while (MainLoopPass(quitCode)) {
    }
    return quitCode;
}
