#include <SDL.h>
#include <imgui.h>
#include <imgui_impl_sdl.h>
#include <imgui_impl_sdlrenderer.h>

#include <filesystem>
#include <vector>

#include "platform/AudioDevice.h"
#include "platform/DialogModalInternal.h"
#include "platform/DisplayInternal.h"
#include "platform/EventsInternal.h"
#include "platform/QuitSignalsInternal.h"
#include "platform/WindowInternal.h"

namespace qel {

namespace {

bool headlessAllowed = false;
DialogFrameHook frameHook;

constexpr Uint32 FrameWaitMs = 15;
constexpr float FontPixels = 15.0f;

const char* const fontFolders[] = {
    "/usr/share/fonts/truetype/liberation",
    "/usr/share/fonts/truetype/liberation2",
    "/usr/share/fonts/liberation",
};

SDL_Renderer* RendererOf(HWND owner) {
    SDL_Window* window = SystemWindow(owner);
    return window ? SDL_GetRenderer(window) : nullptr;
}

void UseDialogFont(ImGuiIO& io) {
    for (const char* folder : fontFolders) {
        const std::string path = std::string(folder) + "/LiberationSans-Regular.ttf";
        std::error_code error;
        if (std::filesystem::is_regular_file(path, error) && io.Fonts->AddFontFromFileTTF(path.c_str(), FontPixels))
            return;
    }
    io.Fonts->AddFontDefault();
}

// The interface's own state while a dialog is up, put back when it closes.
class ImGuiSession {
public:
    ImGuiSession(SDL_Window* window, SDL_Renderer* renderer) {
        context_ = ImGui::CreateContext();
        ImGuiIO& io = ImGui::GetIO();
        io.IniFilename = nullptr;
        io.LogFilename = nullptr;
        // The window's own cursor stays; the dialog only makes sure it is seen.
        io.ConfigFlags |= ImGuiConfigFlags_NavEnableKeyboard | ImGuiConfigFlags_NoMouseCursorChange;
        UseDialogFont(io);
        ImGui::StyleColorsLight();
        ImGui_ImplSDL2_InitForSDLRenderer(window);
        ImGui_ImplSDLRenderer_Init(renderer);
        cursorShown_ = SDL_ShowCursor(SDL_QUERY);
        SDL_ShowCursor(SDL_ENABLE);
        textInput_ = SDL_IsTextInputActive();
        if (!textInput_) SDL_StartTextInput();
    }
    ~ImGuiSession() {
        if (!textInput_) SDL_StopTextInput();
        SDL_ShowCursor(cursorShown_);
        ImGui_ImplSDLRenderer_Shutdown();
        ImGui_ImplSDL2_Shutdown();
        ImGui::DestroyContext(context_);
    }
    ImGuiSession(const ImGuiSession&) = delete;
    ImGuiSession& operator=(const ImGuiSession&) = delete;

private:
    ImGuiContext* context_ = nullptr;
    int cursorShown_ = SDL_ENABLE;
    SDL_bool textInput_ = SDL_TRUE;
};

enum class DialogKey { None, Enter, Escape };

bool IsRelease(const SDL_Event& e) { return e.type == SDL_KEYUP; }

// Reads this frame's events: input goes to the dialog, window events are kept
// for the game. A key released after a press of the same frame waits for the
// next frame, so that the interface sees the press.
DialogKey ReadEvents(HWND owner, std::vector<SDL_Event>& kept) {
    // A signal asked the game to end: the game reads the request once the
    // dialog is gone.
    if (QuitSignalled()) return DialogKey::Escape;
    // Peeked and taken without SDL_PollEvent, whose end-of-poll marker would
    // hold back the events handed back to the game.
    SDL_PumpEvents();
    bool pressed = false;
    SDL_Event e;
    while (SDL_PeepEvents(&e, 1, SDL_PEEKEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT) == 1) {
        if (pressed && IsRelease(e)) break;
        SDL_PeepEvents(&e, 1, SDL_GETEVENT, SDL_FIRSTEVENT, SDL_LASTEVENT);
        if (e.type == SDL_QUIT) {
            kept.push_back(e);
            return DialogKey::Escape;
        }
        if (e.type == SDL_WINDOWEVENT) {
            kept.push_back(e);
            if (e.window.event == SDL_WINDOWEVENT_CLOSE && WindowFromSystemId(e.window.windowID) == owner)
                return DialogKey::Escape;
            ImGui_ImplSDL2_ProcessEvent(&e);
            continue;
        }
        if (e.type == SDL_KEYDOWN) {
            const SDL_Keycode key = e.key.keysym.sym;
            if (key == SDLK_RETURN || key == SDLK_KP_ENTER) return DialogKey::Enter;
            if (key == SDLK_ESCAPE) return DialogKey::Escape;
            pressed = true;
        }
        ImGui_ImplSDL2_ProcessEvent(&e);
    }
    return DialogKey::None;
}

void DrawDialogWindow(ModalDialog& dialog) {
    const ImGuiIO& io = ImGui::GetIO();
    ImGui::SetNextWindowPos(ImVec2(io.DisplaySize.x * 0.5f, io.DisplaySize.y * 0.5f), ImGuiCond_Always,
                            ImVec2(0.5f, 0.5f));
    ImGuiWindowFlags flags = ImGuiWindowFlags_NoCollapse | ImGuiWindowFlags_NoMove | ImGuiWindowFlags_NoResize |
                             ImGuiWindowFlags_NoSavedSettings | ImGuiWindowFlags_AlwaysAutoResize;
    const char* title = dialog.Title();
    if (title == nullptr) flags |= ImGuiWindowFlags_NoTitleBar;
    const std::string id = std::string(title ? title : "") + "###QelDialog";
    if (ImGui::Begin(id.c_str(), nullptr, flags)) dialog.DrawControls();
    ImGui::End();
}

void PresentFrame(HWND owner, SDL_Renderer* renderer) {
    ImGui::Render();
    if (!DrawDisplayFrame(owner)) {
        SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
        SDL_RenderClear(renderer);
    }
    ImGui_ImplSDLRenderer_RenderDrawData(ImGui::GetDrawData());
    SDL_RenderPresent(renderer);
}

}  // namespace

bool CanShowDialogs(HWND owner) {
    if (!IsUiThread() || !(HasRealDisplay() || (headlessAllowed && EnsureVideo()))) return false;
    return RendererOf(owner) != nullptr;
}

bool RunModalDialog(HWND owner, ModalDialog& dialog) {
    if (!CanShowDialogs(owner)) return false;
    SDL_Renderer* renderer = RendererOf(owner);
    std::vector<SDL_Event> kept;
    {
        // The game stands still behind a dialog, and so does its sound: without
        // the game's frames no streamed music is refilled, and it would repeat.
        AudioHold heldSound;
        ImGuiSession session(SystemWindow(owner), renderer);
        for (int frame = 0; !dialog.Closed(); ++frame) {
            if (frameHook && !frameHook(frame)) {
                dialog.OnEscape();
                break;
            }
            const DialogKey key = ReadEvents(owner, kept);
            ImGui_ImplSDLRenderer_NewFrame();
            ImGui_ImplSDL2_NewFrame();
            ImGui::NewFrame();
            DrawDialogWindow(dialog);
            PresentFrame(owner, renderer);
            // The keys act after the frame, which took the text typed before them.
            if (key == DialogKey::Enter) dialog.OnEnter();
            if (key == DialogKey::Escape) dialog.OnEscape();
            if (!dialog.Closed() && !frameHook) SDL_WaitEventTimeout(nullptr, FrameWaitMs);
        }
    }
    // The dialog leaves no trace; the game sees the window's events afterwards.
    if (DrawDisplayFrame(owner)) SDL_RenderPresent(renderer);
    for (SDL_Event& e : kept) SDL_PushEvent(&e);
    return true;
}

void ShowDialogsWithoutRealDisplayForTests(bool on) { headlessAllowed = on; }

void SetDialogFrameHookForTests(DialogFrameHook hook) { frameHook = std::move(hook); }

}  // namespace qel
