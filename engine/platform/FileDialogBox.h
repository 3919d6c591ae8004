// The file dialog drawn modally over the game's window: the folder's
// sub-folders and matching files, a name field, a filter choice, OK and Cancel.
#pragma once
#include <string>
#include "platform/FileDialogModel.h"
#include "platform/Handles.h"

namespace qel {

// True with the chosen file's full path in `name`; false when the player
// cancelled, or when no dialog can be shown (no real display, no window with
// a renderer, not the interface thread).
bool ShowFileDialog(HWND owner, const FileDialogOptions& options, std::string& name);

}  // namespace qel
