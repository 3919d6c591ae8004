// Keeps the input system alive while any input device uses it, and reports
// device result codes on the console by name and description.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "platform/Handles.h"
#include "platform/Resources.h"

class QEL_API DirectInput {
public:
    DirectInput(HWND hwnd, HINSTANCE hinst);
    ~DirectInput();
    DirectInput(const DirectInput&) = delete;
    DirectInput& operator=(const DirectInput&) = delete;

    // Console report of a device result; nothing for 0.
    static void DIError(const char* file, int line, std::int32_t hr);
    // Whether the shared input system is running (devices can be made).
    static bool Ready();

    static std::int32_t References;  // live holders
    static HWND hWnd;                // window of the newest holder
};
