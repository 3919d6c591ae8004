// The game file's first part: the display mode and the window and screen-saver
// flags. Also the two ways every loader ends: misuse, and a corrupt file.
#include <cstdio>

#include "display/Display.h"
#include "foundation/FatalExit.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameFileLoadersInternal.h"

namespace gamefile {

bool ReadMode(Reader& r) {
    r.Section("display mode");
    const std::int32_t width = r.Int(), height = r.Int(), depth = r.Int();
    const bool windowed = r.Bool(), screenSaver = r.Bool();
    if (!r.Ok()) return false;
    const bool depthKnown = depth == 8 || depth == 16 || depth == 24 || depth == 32;
    if (width < 1 || width > MaxDisplaySide || height < 1 || height > MaxDisplaySide || !depthKnown) {
        r.Fail("the display mode %d x %d x %d cannot be shown", width, height, depth);
        return false;
    }
    SetMode(width, height, depth);
    _IsWindowed = windowed;
    _IsScreenSaver = screenSaver;
    return true;
}

// Runs one part of the game file; the game cannot go on from a corrupt one.
void ReadGamePart(const char* signature, bool (*part)(Reader&)) {
    if (_GameFile == nullptr) {
        UserError::Report(signature, "No game file is open.");
        return;
    }
    Reader r(*_GameFile);
    if (!part(r)) FatalExit("The game file is corrupt: %s.", r.Fault().c_str());
}

}  // namespace gamefile

void GenerateMode() { gamefile::ReadGamePart("void GenerateMode(void)", gamefile::ReadMode); }
