// The game window: one window whose client area is the display size, windowed
// (centred on the desktop) or full screen, plus desktop queries and the cursor.
#pragma once
#include <cstdint>
#include <string>
#include "QelExport.h"
#include "platform/Handles.h"
#include "platform/MessageQueue.h"

namespace qel {

struct WindowDesc {
    std::string title = "Qel";  // code page 1252
    std::int32_t clientWidth = 640;
    std::int32_t clientHeight = 480;
    bool fullScreen = false;
    bool visible = true;
    // Program resources (types "ICON" and "CURSOR") by name; null or missing: none.
    const char* iconName = nullptr;
    const char* cursorName = nullptr;
};

QEL_API bool IsWindow(HWND window);
// Sends Destroy to the window's procedure, then frees the window. False when
// the handle is not a live window.
QEL_API bool DestroyWindow(HWND window);

// The system keeps its screen saver and monitor power-down away while a
// window exists.
class QEL_API Window {
public:
    // A new window, or null when the system cannot make one. It exists until
    // DestroyWindow; IsWindow tells whether a handle is still alive.
    static Window* Create(const WindowDesc& desc, WindowProcedure procedure = {});

    void SetProcedure(WindowProcedure procedure);
    const WindowProcedure& Procedure() const;

    // Title as code page 1252 bytes (shown converted to UTF-8).
    void SetTitle(const char* text);
    const std::string& Title() const;

    std::int32_t ClientWidth() const;
    std::int32_t ClientHeight() const;
    void SetClientSize(std::int32_t width, std::int32_t height);

    // Top-left of the client area on the desktop.
    void SetPosition(std::int32_t x, std::int32_t y);
    std::int32_t X() const;
    std::int32_t Y() const;
    // Centred on the desktop, or at (0, 0) when larger than the desktop.
    void CentreOnDesktop();

    void Show();
    void Hide();
    bool IsVisible() const;
    void Minimize();
    bool IsMinimized() const;

    // Full screen covers the desktop; the frame is scaled and letterboxed.
    // The mode is tracked here, whatever the video driver does with it.
    void SetFullScreen(bool fullScreen);
    bool IsFullScreen() const;

    // The system's window (an SDL_Window*), for the platform layer's own use.
    void* NativeHandle() const;

    // The platform layer's own state of the window.
    struct Impl;
    Impl& impl() const { return *impl_; }

private:
    explicit Window(Impl* impl);
    ~Window();
    friend bool DestroyWindow(HWND window);
    Impl* impl_;
};

// The desktop (primary display): size in pixels and colour depth in bits.
// Four-byte pixel formats report 32.
QEL_API std::int32_t DesktopWidth();
QEL_API std::int32_t DesktopHeight();
QEL_API std::int32_t DesktopDepth();
// Test hook: DesktopDepth() answers this value; 0 returns to the real one.
QEL_API void SetDesktopDepthForTests(std::int32_t bitsPerPixel);

// The system mouse pointer: a display counter, shown while it is >= 0.
// Returns the new counter. Calls from threads other than the one that made the
// first window change nothing and return the current counter.
QEL_API std::int32_t ShowCursor(bool show);

}  // namespace qel
