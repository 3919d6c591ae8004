// Names of assets (bitmaps, sounds, music, text files) that a save, level or
// game file gives: they stay inside the asset folder they are looked up in,
// and only regular files of a bounded size are read.
#pragma once
#include <cstddef>
#include <string>
#include <vector>
#include "QelExport.h"

// True unless the name is absolute (a leading "/" or "\", or a drive) or has
// a ".." part; an empty name names no file and is confined.
QEL_API bool IsConfinedAssetName(const char* name);

// The whole regular file at that path, when it holds at most maxBytes; false
// (nothing read) for a folder, a device, a missing or a larger file.
QEL_API bool ReadRegularFile(const std::string& path, std::size_t maxBytes, std::vector<unsigned char>& bytes);
