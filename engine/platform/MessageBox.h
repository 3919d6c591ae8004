// Modal message boxes. Without a display (or when the system cannot show one)
// the message goes to standard error and the call returns at once.
#pragma once
#include <functional>
#include "QelExport.h"
#include "platform/Handles.h"

namespace qel {

enum class MessageBoxIcon { None, Error, Information, Warning };

// Text and caption are code page 1252 bytes. The owner may be null. Blocks
// until the player closes the box.
QEL_API void ShowMessageBox(HWND owner, const char* text, const char* caption, MessageBoxIcon icon);

// Test hook: while set, every message box goes to the observer instead of the
// screen or standard error. Pass an empty function to remove it.
using MessageBoxObserver = std::function<void(const char* text, const char* caption, MessageBoxIcon icon)>;
QEL_API void SetMessageBoxObserver(MessageBoxObserver observer);

}  // namespace qel
