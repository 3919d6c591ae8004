// Keyboard and mouse input stop while a file dialog is open and start afresh,
// with every key and button up, when it closes.
#pragma once

class DialogInputPause {
public:
    DialogInputPause();
    ~DialogInputPause();
    DialogInputPause(const DialogInputPause&) = delete;
    DialogInputPause& operator=(const DialogInputPause&) = delete;
};
