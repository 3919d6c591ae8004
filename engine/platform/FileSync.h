// Making a written file outlast a crash or a power cut: its bytes reach the
// disk before it is renamed into place, and the rename itself after.
#pragma once
#include <string>
#include "QelExport.h"

namespace qel {

// Flushes the file's bytes to the disk; false when the system reports that
// they could not be written.
QEL_API bool SyncFileToDisk(const std::string& path);

// Flushes the entries of the folder holding `path` (a rename into it). Some
// file systems cannot do this; that is no error.
QEL_API void SyncFolderOf(const std::string& path);

// Test hook: the next `count` file syncs fail, as on a failing disk.
QEL_API void FailFileSyncsForTests(int count);

}  // namespace qel
