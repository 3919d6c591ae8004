#include "platform/MessageBox.h"

#include <SDL.h>

#include <cstdio>
#include <mutex>
#include <string>

#include "platform/EventsInternal.h"
#include "platform/Text1252.h"
#include "platform/WindowInternal.h"

namespace qel {

namespace {
// Worker threads may show messages too: one box (or one report) at a time.
std::mutex boxLock;
MessageBoxObserver observer;

Uint32 FlagsOf(MessageBoxIcon icon) {
    switch (icon) {
        case MessageBoxIcon::Error: return SDL_MESSAGEBOX_ERROR;
        case MessageBoxIcon::Warning: return SDL_MESSAGEBOX_WARNING;
        default: return SDL_MESSAGEBOX_INFORMATION;
    }
}
}  // namespace

void ShowMessageBox(HWND owner, const char* text, const char* caption, MessageBoxIcon icon) {
    if (!text) text = "";
    if (!caption) caption = "";
    std::lock_guard lock(boxLock);
    if (observer) {
        observer(text, caption, icon);
        return;
    }
    std::string utf8Text = Cp1252ToUtf8(text);
    std::string utf8Caption = Cp1252ToUtf8(caption);
    // Windows belong to the interface thread: another thread's box has no owner.
    SDL_Window* parent = IsUiThread() ? SystemWindow(owner) : nullptr;
    if (HasRealDisplay() && SDL_ShowSimpleMessageBox(FlagsOf(icon), utf8Caption.c_str(), utf8Text.c_str(), parent) == 0)
        return;
    std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    std::fflush(stderr);
}

void SetMessageBoxObserver(MessageBoxObserver newObserver) {
    std::lock_guard lock(boxLock);
    observer = std::move(newObserver);
}

}  // namespace qel
