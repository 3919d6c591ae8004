// Modal message boxes. On the interface thread, while the game's window is
// shown, the box is drawn inside that window; elsewhere it is the system's own
// box. Without a display (or when the system cannot show one) the message goes
// to standard error and the call returns at once.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include "QelExport.h"
#include "platform/Handles.h"

namespace qel {

enum class MessageBoxIcon { None, Error, Information, Warning };

// Text and caption are code page 1252 bytes. The owner may be null. Blocks
// until the player closes the box. Once SIGTERM or SIGINT asked the game to
// end, the box closes and later messages go to standard error.
QEL_API void ShowMessageBox(HWND owner, const char* text, const char* caption, MessageBoxIcon icon);

// The UTF-8 text a box is given. The X11 box draws with core fonts that
// have no typographic quotes, dashes or ellipsis: with `plainPunctuation` those
// code-page-1252 signs become their ASCII look-alikes ("\x91Qel\x92" -> "'Qel'").
QEL_API std::string MessageBoxText(std::string_view cp1252, bool plainPunctuation);

}  // namespace qel
