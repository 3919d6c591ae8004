// What the game's save, replay and screenshot operations share: the names of
// the state files, the checks on chosen names and the error box.
#pragma once
#include <cstring>
#include <string>
#include "foundation/MessageTable.h"
#include "foundation/String.h"
#include "platform/MessageBox.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameNode.h"

namespace gamefiles {

constexpr int MsgErrorLoadingReplay = 116;
constexpr int MsgErrorSaving = 117;
constexpr int MsgErrorLoading = 118;
constexpr int MsgErrorSavingReplay = 119;

// The state at the start of the current recording, and the state that a
// replay returns to; both in the working directory.
inline String StartRecordingState() { return workingDirectory + String("\\gamesavestartrecording.sat"); }
inline String WhenReplayState() { return workingDirectory + String("\\gamesavewhenreplay.sat"); }

// "run.rep" keeps its starting state in "run.sar".
inline std::string StateFileOfReplay(const std::string& replay) {
    return replay.substr(0, replay.size() >= 4 ? replay.size() - 4 : 0) + ".sar";
}

inline void ErrorBox(int message) {
    qel::ShowMessageBox(_Ghwnd, MessageTable[message], "Error", qel::MessageBoxIcon::Error);
}

inline bool OnNetworkLevel() { return gNode != nullptr && gNode->NetworkLevel; }

// The name ends exactly in the extension (case counts).
inline bool HasExtension(const std::string& name, const char* extension) {
    const std::size_t n = std::strlen(extension);
    return name.size() >= n && name.compare(name.size() - n, n, extension) == 0;
}

}  // namespace gamefiles
