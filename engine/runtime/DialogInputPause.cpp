#include "runtime/DialogInputPauseInternal.h"

#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "runtime/EngineGlobals.h"

DialogInputPause::DialogInputPause() {
    if (pMouse != nullptr) pMouse->StopReceivingData();
    if (pKeyboard != nullptr) pKeyboard->StopReceivingData();
}

DialogInputPause::~DialogInputPause() {
    if (pMouse != nullptr) {
        pMouse->StartReceivingData();
        pMouse->ResetKeys();
    }
    if (pKeyboard != nullptr) {
        pKeyboard->StartReceivingData();
        pKeyboard->Reset();
    }
}
