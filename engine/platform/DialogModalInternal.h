// For the platform layer's own modules only: a modal dialog drawn with Dear
// ImGui over a window's last frame. The dialog runs its own event loop until it
// closes; the window's other events wait for the game until then.
#pragma once
#include <functional>
#include "platform/Handles.h"

namespace qel {

// One dialog: its controls, drawn once per frame, and its answer.
class ModalDialog {
public:
    virtual ~ModalDialog() = default;
    // The caption; null: a dialog without title bar.
    virtual const char* Title() const = 0;
    // The controls of one frame, inside the dialog's window.
    virtual void DrawControls() = 0;
    // The keys every dialog answers: Enter (its default button, if any) and
    // Escape (its cancel button); the window closing counts as Escape.
    virtual void OnEnter() {}
    virtual void OnEscape() = 0;

    bool Closed() const { return closed_; }
    int Result() const { return result_; }

protected:
    void End(int result) {
        result_ = result;
        closed_ = true;
    }

private:
    bool closed_ = false;
    int result_ = 0;
};

// True when a dialog can be shown over the window: a real display (not the
// dummy driver, unless a test allows it), the interface thread, and a window
// with a renderer.
bool CanShowDialogs(HWND owner);

// Runs the dialog until it closes. False, with nothing shown, when
// CanShowDialogs is false.
bool RunModalDialog(HWND owner, ModalDialog& dialog);

// Test hooks. Dialogs are shown with the dummy video driver too.
void ShowDialogsWithoutRealDisplayForTests(bool on);
// Called before each frame's events are read, with the frame's number from 0;
// answering false cancels the dialog (as Escape does). Empty: none.
using DialogFrameHook = std::function<bool(int frame)>;
void SetDialogFrameHookForTests(DialogFrameHook hook);

}  // namespace qel
