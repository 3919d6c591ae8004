// The screenshot command of Game: the player picks a .bmp or .jpg name and the
// back buffer is written there.
#include <string>

#include "display/ScreenShot.h"
#include "platform/Window.h"
#include "runtime/DialogInputPauseInternal.h"
#include "runtime/FileDialogInternal.h"
#include "runtime/Game.h"
#include "runtime/GameFilesInternal.h"

using namespace gamefiles;

void Game::SaveScreenShot() {
    if (OnNetworkLevel()) return;
    DialogInputPause paused;
    qel::ShowCursor(true);
    std::string name;
    if (ChooseFileName({true, {{"Bitmap (*.bmp)", "*.bmp"}, {"JPEG (*.jpg)", "*.jpg"}}, "bmp"}, name)) {
        // The writers add the extension themselves.
        const std::string stem = name.size() >= 4 ? name.substr(0, name.size() - 4) : std::string();
        if (HasExtension(name, ".bmp"))
            ScreenShotBMP(stem.c_str());
        else if (HasExtension(name, ".jpg"))
            ScreenShotJPG(stem.c_str());
    }
    qel::ShowCursor(false);
}
