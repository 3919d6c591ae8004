#include "platform/MessageBox.h"

#include <SDL.h>
#include <imgui.h>
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "platform/AudioDevice.h"
#include "platform/DialogModalInternal.h"
#include "platform/EventsInternal.h"
#include "platform/QuitSignalsInternal.h"
#include "platform/Text1252.h"
#include "platform/Window.h"
#include "platform/WindowInternal.h"
#include "testing/TestHooks.h"

namespace qel {

namespace {
// Worker threads may show messages too: one box (or one report) at a time.
// Never destroyed: a worker may still be inside a box while the process ends.
std::mutex& BoxLock() {
    static auto* lock = new std::mutex;
    return *lock;
}
MessageBoxObserver observer;

enum class BoxOutcome { Shown, NotShown, LeftToProcessEnd };

// ASCII stand-ins for the signs of code page 1252's 0x80-0x9F row; null
// where the byte is no punctuation.
const char* PlainSign(std::uint8_t byte) {
    switch (byte) {
        case 0x82: return ",";
        case 0x84: return ",,";
        case 0x85: return "...";
        case 0x8B: return "<";
        case 0x9B: return ">";
        case 0x91:
        case 0x92: return "'";
        case 0x93:
        case 0x94: return "\"";
        case 0x95: return "*";
        case 0x96:
        case 0x97: return "-";
        case 0x98: return "~";
        default: return nullptr;
    }
}

bool X11Draws() {
    const char* driver = SDL_GetCurrentVideoDriver();
    return driver != nullptr && std::strcmp(driver, "x11") == 0;
}

// The box drawn inside the game's window: centred over it, answering the keys
// pressed there, and ending when a signal asks the game to end.
class MessageView : public ModalDialog {
public:
    MessageView(std::string text, std::string caption) : text_(std::move(text)), caption_(std::move(caption)) {}
    const char* Title() const override { return caption_.c_str(); }
    void DrawControls() override {
        ImGui::TextUnformatted(text_.c_str());
        if (ImGui::Button("OK", ImVec2(90.0f, 0.0f))) OnEnter();
    }
    void OnEnter() override { End(0); }
    void OnEscape() override { End(0); }

private:
    std::string text_, caption_;
};

Uint32 FlagsOf(MessageBoxIcon icon) {
    switch (icon) {
        case MessageBoxIcon::Error: return SDL_MESSAGEBOX_ERROR;
        case MessageBoxIcon::Warning: return SDL_MESSAGEBOX_WARNING;
        default: return SDL_MESSAGEBOX_INFORMATION;
    }
}

// The game's window, where the box can be drawn in it and be seen there: on
// the interface thread, which owns the window, in a window that is shown.
HWND WindowForTheBox(HWND owner) {
    if (!IsUiThread()) return nullptr;
    HWND window = IsWindow(owner) ? owner : FirstWindow();
    if (window == nullptr || !window->IsVisible() || window->IsMinimized()) return nullptr;
    return CanShowDialogs(window) ? window : nullptr;
}

bool ShowInWindow(HWND window, const char* text, const char* caption) {
    // The dialog font has no typographic punctuation either.
    MessageView view(MessageBoxText(text, true), MessageBoxText(caption, true));
    return RunModalDialog(window, view);
}

// SDL's own box, where there is no game window to draw in (or not on this
// thread). Its loop is SDL's: on X11 it runs in a forked copy of the process,
// placed and focused by a window manager if there is one.
BoxOutcome ShowSystemBox(HWND owner, const char* text, const char* caption, MessageBoxIcon icon) {
    if (!EnterSystemBox()) return BoxOutcome::NotShown;
    // Windows belong to the interface thread: another thread's box has no owner.
    SDL_Window* parent = IsUiThread() ? SystemWindow(owner) : nullptr;
    const bool plain = X11Draws();
    const std::string boxText = MessageBoxText(text, plain), boxCaption = MessageBoxText(caption, plain);
    const bool shown = SDL_ShowSimpleMessageBox(FlagsOf(icon), boxCaption.c_str(), boxText.c_str(), parent) == 0;
    if (!LeaveSystemBox()) return BoxOutcome::LeftToProcessEnd;
    return shown ? BoxOutcome::Shown : BoxOutcome::NotShown;
}

void ReportOnStandardError(const char* text, const char* caption) {
    const std::string utf8Text = Cp1252ToUtf8(text), utf8Caption = Cp1252ToUtf8(caption);
    std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    std::fflush(stderr);
}

BoxOutcome ShowBox(HWND owner, const char* text, const char* caption, MessageBoxIcon icon) {
    std::lock_guard lock(BoxLock());
    if (observer) {
        observer(text, caption, icon);
        return BoxOutcome::Shown;
    }
    // Once a signal asked the game to end, nobody is waited for: the message
    // is still written down.
    if (!QuitSignalled()) {
        // The game stands still while its thread's box is up, and so does its sound.
        std::optional<AudioHold> heldSound;
        if (IsUiThread()) heldSound.emplace();
        if (HWND window = WindowForTheBox(owner); window != nullptr && ShowInWindow(window, text, caption))
            return BoxOutcome::Shown;
        if (HasRealDisplay()) {
            const BoxOutcome outcome = ShowSystemBox(owner, text, caption, icon);
            if (outcome != BoxOutcome::NotShown) return outcome;
        }
    }
    ReportOnStandardError(text, caption);
    return BoxOutcome::Shown;
}

// The thread of a box left to the process's end never goes on: what follows
// the box would run while the game is being torn down.
[[noreturn]] void WaitForTheProcessEnd() {
    for (;;) ::pause();
}
}  // namespace

std::string MessageBoxText(std::string_view cp1252, bool plainPunctuation) {
    if (!plainPunctuation) return Cp1252ToUtf8(cp1252);
    std::string plain;
    for (char c : cp1252) {
        const char* sign = PlainSign(std::uint8_t(c));
        if (sign)
            plain += sign;
        else
            plain += c;
    }
    return Cp1252ToUtf8(plain);
}

void ShowMessageBox(HWND owner, const char* text, const char* caption, MessageBoxIcon icon) {
    if (!text) text = "";
    if (!caption) caption = "";
    if (ShowBox(owner, text, caption, icon) == BoxOutcome::LeftToProcessEnd) WaitForTheProcessEnd();
}

void SetMessageBoxObserver(MessageBoxObserver newObserver) {
    std::lock_guard lock(BoxLock());
    observer = std::move(newObserver);
}

}  // namespace qel
