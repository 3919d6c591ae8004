// Turns the engine's Windows-style paths ("\Art Assets\Maps\") into this system's.
#pragma once
#include <string>
#include "QelExport.h"

namespace qel {

// Backslashes become slashes and runs of separators collapse to one.
QEL_API std::string NativePath(const char* windowsPath);

}  // namespace qel
