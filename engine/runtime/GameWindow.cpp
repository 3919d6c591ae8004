#include "runtime/GameWindowInternal.h"

#include "display/DisplayInternal.h"
#include "input/Keyboard.h"
#include "input/Mouse.h"
#include "platform/Display.h"
#include "platform/Window.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"
#include "sound/SoundCard.h"

namespace {

// The system draws the frame around the client area itself and reports no
// border, caption or edge sizes, so the outer size is the display size.
constexpr std::int32_t FrameWidth = 0;
constexpr std::int32_t FrameHeight = 0;

void PlaceWindow(qel::Window& window) {
    if (windowWidth <= screenWidth && windowHeight <= screenHeight)
        window.SetPosition((screenWidth - windowWidth) / 2, (screenHeight - windowHeight) / 2);
    else
        window.SetPosition(0, 0);
}

void StartInput() {
    if (pKeyboard != nullptr) pKeyboard->StartReceivingData();
    if (pMouse != nullptr) pMouse->StartReceivingData();
}

void OnFocusGained() {
    SetDisplayPalette();
    if (!minimizedWhileSuspended) {
        _IsSuspended = false;
        if (gNode != nullptr) {
            SoundCard::ManageBuffers(true);
            gNode->NResetKM();
        }
        StartInput();
    } else {
        // Minimised while already paused: only input comes back; the game
        // stays suspended with its sound paused.
        minimizedWhileSuspended = false;
        StartInput();
        if (gNode != nullptr) gNode->NResetKM();
    }
}

void OnFocusLost() {
    SetDisplayPalette();
    _IsSuspended = true;
    if (gNode != nullptr) SoundCard::ManageBuffers(false);
    if (pKeyboard != nullptr) pKeyboard->StopReceivingData();
    if (pMouse != nullptr) pMouse->StopReceivingData();
}

}  // namespace

void ComputeWindowSize() {
    windowWidth = displayWidth + FrameWidth;
    windowHeight = displayHeight + FrameHeight;
}

bool CreateGameWindow(HINSTANCE instance, int showCommand) {
    gameInstance = instance;
    qel::WindowDesc desc;
    desc.title = "Qel";
    desc.clientWidth = displayWidth;
    desc.clientHeight = displayHeight;
    desc.iconName = "ICON";
    desc.cursorName = "CURSOR";
    desc.visible = false;
    if (_IsScreenSaver) _IsWindowed = screenSaverPreview;
    desc.fullScreen = !_IsWindowed;
    qel::Window* window = qel::Window::Create(desc, WindowProc);
    if (window == nullptr) return false;
    screenWidth = qel::DesktopWidth();
    screenHeight = qel::DesktopHeight();
    if (_IsWindowed)
        PlaceWindow(*window);
    else
        window->SetPosition(0, 0);
    _Ghwnd = window;
    // The show command of a hidden start (0) is honoured.
    if (showCommand != 0) window->Show();
    return true;
}

std::int64_t WindowProc(const qel::Message& message) {
    switch (message.message) {
        case qel::Msg::Destroy: qel::PostQuitMessage(0); return 0;
        case qel::Msg::SetFocus: OnFocusGained(); return 0;
        case qel::Msg::KillFocus: OnFocusLost(); return 0;
        case qel::Msg::Paint:
            if (pPrimary != nullptr) pPrimary->Present();
            return 0;
        case qel::Msg::SysCommand:
            if (message.wParam == qel::SysCommandMinimize && _IsSuspended) minimizedWhileSuspended = true;
            return qel::DefWindowProc(message);
        default: return qel::DefWindowProc(message);
    }
}
