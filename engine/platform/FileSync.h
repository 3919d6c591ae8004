// Making a written file outlast a crash or a power cut: its bytes reach the
// disk before it is renamed into place, and the rename itself after.
#pragma once
#include <string>
#include "QelExport.h"

namespace qel {

// Flushes the file's bytes to the disk; false when the system reports that
// they could not be written.
QEL_API bool SyncFileToDisk(const std::string& path);

// Flushes the entries of the folder holding `path` (a rename into it or a
// removal from it); false when the system reports that they could not be
// written. A file system that cannot sync folders at all is no error.
QEL_API bool SyncFolderOf(const std::string& path);

// A write past the process's file-size limit fails like any other short
// write instead of ending the process with SIGXFSZ.
QEL_API void WritesPastFileSizeLimitFail();

}  // namespace qel
