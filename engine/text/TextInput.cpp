#include "text/TextInputInternal.h"

#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"

TextInput TextInput::Engine() {
    TextInput input;
    input.keyPressed = [](unsigned char k) { return pKeyboard != nullptr && pKeyboard->IsPressed(k); };
    input.keyTriggered = [](unsigned char k) { return pKeyboard != nullptr && pKeyboard->IsTriggered(k); };
    input.buttonPressed = [] { return pMouse != nullptr && pMouse->IsPressed(0); };
    input.buttonTriggered = [] { return pMouse != nullptr && pMouse->IsTriggered(0); };
    input.mouseWorldX = [] { return pMouse != nullptr ? pMouse->WorldX() : 0; };
    input.mouseWorldY = [] { return pMouse != nullptr ? pMouse->WorldY() : 0; };
    // Without a mouse there is nothing to click the arrows with.
    input.cursorShown = [] { return myGame != nullptr && pMouse != nullptr && myGame->ShowCursor(); };
    return input;
}

TextInput& TextInput::Current() {
    static TextInput current = Engine();
    return current;
}
