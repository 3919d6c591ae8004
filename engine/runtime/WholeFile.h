// Files that the player's saves and replays live in: a check that a file can
// be read before it is opened (opening a missing file ends the program), and
// writes and copies that either complete or leave the old file untouched.
#pragma once
#include <functional>

class File;

// The name is a program resource or a disk file that can be opened for reading.
bool CanOpenForReading(const char* name);

// Writes a new file through `write`, first into a temporary file beside it
// that replaces the old one only when everything was written. False, with the
// old file (if any) unchanged, when the file cannot be made or written.
bool WriteWholeFile(const char* name, const std::function<void(File&)>& write);

// Copies a disk file over another, the same way; false when the source cannot
// be read or the copy cannot be written.
bool CopyWholeFile(const char* from, const char* to);

// Removes a disk file; a missing file is no error.
void RemoveFile(const char* name);
