// What scrolling reads of the player's input this frame: the keyboard's keys,
// the mouse's world point and left button, and whether the game shows its
// cursor. By default the engine's keyboard, mouse and game; replaceable.
#pragma once

struct TextInput {
    bool (*keyPressed)(unsigned char key);
    bool (*keyTriggered)(unsigned char key);
    // Button 0 of the mouse.
    bool (*buttonPressed)();
    bool (*buttonTriggered)();
    int (*mouseWorldX)();
    int (*mouseWorldY)();
    bool (*cursorShown)();

    static TextInput& Current();
    // The engine's own devices (absent devices are never pressed).
    static TextInput Engine();
};
