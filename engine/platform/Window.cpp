#include "platform/Window.h"

#include <SDL.h>

#include <algorithm>
#include <atomic>
#include <thread>
#include <utility>
#include <vector>

#include "platform/EventsInternal.h"
#include "platform/IconDecoder.h"
#include "platform/Resources.h"
#include "platform/Text1252.h"
#include "platform/WindowInternal.h"

namespace qel {

struct Window::Impl {
    SDL_Window* window = nullptr;
    SDL_Cursor* cursor = nullptr;
    WindowProcedure procedure;
    std::string title;
    std::int32_t width = 0;
    std::int32_t height = 0;
    bool fullScreen = false;
    std::vector<std::pair<const void*, std::function<void()>>> destroyListeners;
};

namespace {
std::vector<Window*> liveWindows;
std::int32_t desktopDepthOverride = 0;
// Read by other threads (they may ask, never change).
std::atomic<std::int32_t> cursorCounter{0};
std::atomic<std::thread::id> uiThread{};

DecodedIcon ResourceIcon(const char* type, const char* name) {
    const ResourceEntry* entry = name ? FindProgramResource(type, name) : nullptr;
    return entry ? DecodeIcon(entry->data, entry->size) : DecodedIcon{};
}

SDL_DisplayMode DesktopMode() {
    SDL_DisplayMode mode{};
    if (!EnsureVideo() || SDL_GetDesktopDisplayMode(0, &mode) != 0)
        mode = {SDL_PIXELFORMAT_RGB888, 640, 480, 0, nullptr};
    return mode;
}
}  // namespace

Window::Window(Impl* impl) : impl_(impl) {}

Window::~Window() { delete impl_; }

Window* Window::Create(const WindowDesc& desc, WindowProcedure procedure) {
    if (!EnsureVideo() || desc.clientWidth <= 0 || desc.clientHeight <= 0) return nullptr;
    std::thread::id none{};
    uiThread.compare_exchange_strong(none, std::this_thread::get_id());
    Uint32 flags = SDL_WINDOW_HIDDEN | (desc.fullScreen ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0);
    SDL_Window* system = SDL_CreateWindow(Cp1252ToUtf8(desc.title).c_str(), SDL_WINDOWPOS_UNDEFINED,
                                          SDL_WINDOWPOS_UNDEFINED, desc.clientWidth, desc.clientHeight, flags);
    if (!system) return nullptr;
    auto* impl = new Impl;
    impl->window = system;
    impl->procedure = std::move(procedure);
    impl->title = desc.title;
    impl->width = desc.clientWidth;
    impl->height = desc.clientHeight;
    impl->fullScreen = desc.fullScreen;
    Window* window = new Window(impl);
    liveWindows.push_back(window);

    if (SDL_Surface* icon = ResourceIcon("ICON", desc.iconName).image) {
        SDL_SetWindowIcon(system, icon);
        SDL_FreeSurface(icon);
    }
    const DecodedIcon cursor = ResourceIcon("CURSOR", desc.cursorName);
    if (cursor.image) {
        impl->cursor = SDL_CreateColorCursor(cursor.image, cursor.hotX, cursor.hotY);
        SDL_FreeSurface(cursor.image);
        if (impl->cursor) SDL_SetCursor(impl->cursor);
    }
    SDL_DisableScreenSaver();
    window->CentreOnDesktop();
    if (desc.visible) window->Show();
    return window;
}

void Window::SetProcedure(WindowProcedure procedure) { impl_->procedure = std::move(procedure); }
const WindowProcedure& Window::Procedure() const { return impl_->procedure; }

void Window::SetTitle(const char* text) {
    impl_->title = text ? text : "";
    SDL_SetWindowTitle(impl_->window, Cp1252ToUtf8(impl_->title).c_str());
}
const std::string& Window::Title() const { return impl_->title; }

std::int32_t Window::ClientWidth() const { return impl_->width; }
std::int32_t Window::ClientHeight() const { return impl_->height; }

void Window::SetClientSize(std::int32_t width, std::int32_t height) {
    if (width <= 0 || height <= 0) return;
    impl_->width = width;
    impl_->height = height;
    if (!impl_->fullScreen) SDL_SetWindowSize(impl_->window, width, height);
}

void Window::SetPosition(std::int32_t x, std::int32_t y) { SDL_SetWindowPosition(impl_->window, x, y); }

std::int32_t Window::X() const {
    int x = 0, y = 0;
    SDL_GetWindowPosition(impl_->window, &x, &y);
    return x;
}

std::int32_t Window::Y() const {
    int x = 0, y = 0;
    SDL_GetWindowPosition(impl_->window, &x, &y);
    return y;
}

void Window::CentreOnDesktop() {
    std::int32_t dw = DesktopWidth(), dh = DesktopHeight();
    if (impl_->width <= dw && impl_->height <= dh)
        SetPosition((dw - impl_->width) / 2, (dh - impl_->height) / 2);
    else
        SetPosition(0, 0);
}

void Window::Show() { SDL_ShowWindow(impl_->window); }
void Window::Hide() { SDL_HideWindow(impl_->window); }
bool Window::IsVisible() const { return SDL_GetWindowFlags(impl_->window) & SDL_WINDOW_SHOWN; }
void Window::Minimize() { SDL_MinimizeWindow(impl_->window); }
bool Window::IsMinimized() const { return SDL_GetWindowFlags(impl_->window) & SDL_WINDOW_MINIMIZED; }

void Window::SetFullScreen(bool fullScreen) {
    if (fullScreen == impl_->fullScreen) return;
    impl_->fullScreen = fullScreen;
    SDL_Window* system = impl_->window;
    if (fullScreen) {
        // The full-screen request is a window manager's to grant; without one
        // nothing acts on it, so the window first covers the desktop itself,
        // without borders.
        SDL_Rect desktop{0, 0, DesktopWidth(), DesktopHeight()};
        if (EnsureVideo()) SDL_GetDisplayBounds(std::max(0, SDL_GetWindowDisplayIndex(system)), &desktop);
        SDL_SetWindowBordered(system, SDL_FALSE);
        SDL_SetWindowPosition(system, desktop.x, desktop.y);
        SDL_SetWindowSize(system, desktop.w, desktop.h);
        SDL_SetWindowFullscreen(system, SDL_WINDOW_FULLSCREEN_DESKTOP);
    } else {
        SDL_SetWindowFullscreen(system, 0);
        SDL_SetWindowBordered(system, SDL_TRUE);
        SDL_SetWindowSize(system, impl_->width, impl_->height);
        CentreOnDesktop();
    }
}

bool Window::IsFullScreen() const { return impl_->fullScreen; }

void* Window::NativeHandle() const { return impl_->window; }

bool IsWindow(HWND window) {
    return window && std::find(liveWindows.begin(), liveWindows.end(), window) != liveWindows.end();
}

bool DestroyWindow(HWND window) {
    if (!IsWindow(window)) return false;
    // The procedure sees Destroy while the window still exists, as it expects.
    Message destroy{window, Msg::Destroy, 0, 0};
    if (window->impl_->procedure) window->impl_->procedure(destroy);
    if (!IsWindow(window)) return true;  // the procedure destroyed it itself
    liveWindows.erase(std::find(liveWindows.begin(), liveWindows.end(), window));
    auto listeners = std::move(window->impl_->destroyListeners);
    for (auto& [owner, onDestroy] : listeners) onDestroy();
    RemoveMessagesOf(window);
    SDL_DestroyWindow(window->impl_->window);
    if (window->impl_->cursor) {
        SDL_SetCursor(SDL_GetDefaultCursor());
        SDL_FreeCursor(window->impl_->cursor);
    }
    delete window;
    if (liveWindows.empty()) SDL_EnableScreenSaver();
    return true;
}

SDL_Window* SystemWindow(HWND window) { return IsWindow(window) ? window->impl().window : nullptr; }

HWND WindowFromSystemId(std::uint32_t id) {
    for (Window* w : liveWindows)
        if (SDL_GetWindowID(static_cast<SDL_Window*>(w->NativeHandle())) == id) return w;
    return nullptr;
}

HWND FirstWindow() { return liveWindows.empty() ? nullptr : liveWindows.front(); }

void AddDestroyListener(HWND window, const void* owner, std::function<void()> onDestroy) {
    if (IsWindow(window)) window->impl().destroyListeners.emplace_back(owner, std::move(onDestroy));
}

void RemoveDestroyListener(HWND window, const void* owner) {
    if (!IsWindow(window)) return;
    std::erase_if(window->impl().destroyListeners, [owner](const auto& l) { return l.first == owner; });
}

std::int32_t DesktopWidth() { return DesktopMode().w; }
std::int32_t DesktopHeight() { return DesktopMode().h; }

std::int32_t DesktopDepth() {
    if (desktopDepthOverride) return desktopDepthOverride;
    SDL_DisplayMode mode = DesktopMode();
    int bytes = SDL_BYTESPERPIXEL(mode.format);
    return bytes >= 4 ? 32 : bytes * 8;
}

void SetDesktopDepthForTests(std::int32_t bitsPerPixel) { desktopDepthOverride = bitsPerPixel; }

bool IsUiThread() {
    const std::thread::id ui = uiThread.load();
    return ui == std::thread::id{} || ui == std::this_thread::get_id();
}

std::int32_t ShowCursor(bool show) {
    if (!IsUiThread()) return cursorCounter.load();
    const std::int32_t counter = cursorCounter += show ? 1 : -1;
    if (EnsureVideo()) SDL_ShowCursor(counter >= 0 ? SDL_ENABLE : SDL_DISABLE);
    return counter;
}

}  // namespace qel
