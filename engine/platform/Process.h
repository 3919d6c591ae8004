// Process-wide services: the current directory and ending the process.
#pragma once
#include <string>
#include "QelExport.h"

namespace qel {

// The process's current directory, empty when it cannot be read.
QEL_API std::string CurrentDirectory();

// Ends the process at once with the status (no return).
[[noreturn]] QEL_API void EndProcess(int status);

}  // namespace qel
