#include "platform/MessageBox.h"

#include <SDL.h>
#include <imgui.h>

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
#include "platform/Text1252.h"
#include "platform/WindowInternal.h"
#include "testing/TestHooks.h"

namespace qel {

namespace {
// Worker threads may show messages too: one box (or one report) at a time.
std::mutex boxLock;
MessageBoxObserver observer;

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

// The box drawn over the game's window where the system's own box cannot be
// shown (an X server without the core fonts SDL's box draws with).
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
    std::lock_guard lock(boxLock);
    if (observer) {
        observer(text, caption, icon);
        return;
    }
    // The game stands still while its thread's box is up, and so does its sound.
    std::optional<AudioHold> heldSound;
    if (IsUiThread()) heldSound.emplace();
    // Windows belong to the interface thread: another thread's box has no owner.
    SDL_Window* parent = IsUiThread() ? SystemWindow(owner) : nullptr;
    if (HasRealDisplay()) {
        const bool plain = X11Draws();
        const std::string boxText = MessageBoxText(text, plain), boxCaption = MessageBoxText(caption, plain);
        if (SDL_ShowSimpleMessageBox(FlagsOf(icon), boxCaption.c_str(), boxText.c_str(), parent) == 0) return;
    }
    if (CanShowDialogs(owner)) {
        MessageView view(MessageBoxText(text, true), MessageBoxText(caption, true));
        if (RunModalDialog(owner, view)) return;
    }
    const std::string utf8Text = Cp1252ToUtf8(text), utf8Caption = Cp1252ToUtf8(caption);
    std::fprintf(stderr, "%s: %s\n", utf8Caption.c_str(), utf8Text.c_str());
    std::fflush(stderr);
}

void SetMessageBoxObserver(MessageBoxObserver newObserver) {
    std::lock_guard lock(boxLock);
    observer = std::move(newObserver);
}

}  // namespace qel
