// The replay file (".rep"): the keys held in every recorded frame, then the
// mouse's per-frame flags and moves, little-endian after the magic "QEL_REP".
// It is read in one go and checked before any of it is used.
#pragma once
#include <cstddef>
#include "foundation/Array.h"
#include "input/RecordedInput.h"

class File;
class PendingFile;

class ReplayFile {
public:
    static constexpr char Magic[] = "QEL_REP";
    static constexpr int MagicSize = 7;

    // Writes the recorded input as the content of `file` (not yet committed);
    // false when it could not be written whole.
    static bool Write(PendingFile& file, const RecordedInput& input);
    // True when the file can be read and starts with the magic.
    static bool HasMagic(const char* name);

    // Reads a whole file. False, keeping nothing, when it cannot be read,
    // lacks the magic, or its counts do not fit its length.
    bool Read(const char* name);
    // The level's arrays become what was read.
    void MoveInto(const RecordedInput& input);

    RecordedKeys keys;
    Array<unsigned char> mouseFlags;
    Array<MouseRelMove> mouseMoves;

private:
    bool Parse(const unsigned char* body, std::size_t size);
    void Empty();
};
