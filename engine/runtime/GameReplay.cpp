// Input recording and replay, the requests of Game: a recording starts from a
// saved state; a replay loads that state, plays the recorded input back frame
// by frame and ends by loading the state saved when it began. A replay is kept
// as a pair of files: "name.rep" with the input and "name.sar" with the state.
#include <string>

#include "platform/Window.h"
#include "runtime/DialogInputPauseInternal.h"
#include "runtime/EngineGlobals.h"
#include "runtime/FileDialogInternal.h"
#include "runtime/Game.h"
#include "runtime/GameFilesInternal.h"
#include "runtime/GameNode.h"
#include "runtime/ReplayFileInternal.h"
#include "runtime/WholeFileInternal.h"

using namespace gamefiles;

namespace {

unsigned int RecordedFrames() { return gNode != nullptr ? gNode->Recorded().keys->Size() : 0; }

}  // namespace

void Game::StartRecording() {
    if (OnNetworkLevel() || replayMode || gNode == nullptr) return;
    SaveGame(StartRecordingState());
    const RecordedInput input = gNode->Recorded();
    input.keys->Clear();
    input.mouseFlags->Clear();
    input.mouseMoves->Clear();
    recording = true;
}

void Game::StopRecording() {
    if (OnNetworkLevel()) return;
    recording = false;
}

// A replay running already is not restarted: its own input could otherwise
// replace the state it returns to.
void Game::Replay(bool slow) {
    if (OnNetworkLevel() || replayMode || RecordedFrames() == 0) return;
    SaveGame(WhenReplayState());
    LoadGame(StartRecordingState());
    StartReplayMode(slow);
}

void Game::StartReplayMode(bool slow) {
    replayMode = true;
    replayStarting = true;
    recording = false;
    replayFrameRate = gNode->FramesPerSecond();
    if (slow) slowReplay = true;
}

void Game::SaveReplay(const char* name) {
    if (OnNetworkLevel() || name == nullptr || RecordedFrames() == 0) return;
    recording = false;
    // Both files are written whole before either takes its place; the input
    // names the state, so it never stands beside another state.
    PendingFile state(StateFileOfReplay(name).c_str()), input(name);
    const bool saved = state.CopyFrom(StartRecordingState()) && ReplayFile::Write(input, gNode->Recorded()) &&
                       CommitPair(state, input);
    if (!saved) ErrorBox(MsgErrorSavingReplay);
}

void Game::SaveReplay() {
    if (OnNetworkLevel()) return;
    recording = false;
    DialogInputPause paused;
    SaveReplayDialog();
}

void Game::LoadReplay(const char* name, bool slow) {
    if (OnNetworkLevel() || name == nullptr || gNode == nullptr) return;
    SaveGame(WhenReplayState());
    LoadReplay(name);
    StartReplayMode(slow);
}

void Game::LoadReplay(const char* name) {
    if (OnNetworkLevel() || name == nullptr) return;
    recording = false;
    // Its state becomes the start of a later replay only once the pair has
    // loaded: a bad pair leaves the player's own recording its starting state.
    LoadGame(StateFileOfReplay(name).c_str());
    LoadInputData(name);
}

void Game::LoadInputData(const char* name) {
    if (OnNetworkLevel()) return;
    if (name != nullptr && name[0] != '\0') inputDataFileName = name;
    inputDataRequested = true;
}

void Game::LoadReplay() {
    if (OnNetworkLevel()) return;
    recording = false;
    DialogInputPause paused;
    LoadReplayDialog();
}

void Game::SaveReplayDialog() {
    qel::ShowCursor(true);
    std::string name;
    if (ChooseFileName({true, {{"Saved Replays (*.rep)", "*.rep"}}, "rep"}, name)) {
        if (HasExtension(name, ".rep"))
            SaveReplay(name.c_str());
        else
            ErrorBox(MsgErrorSavingReplay);
    }
    qel::ShowCursor(false);
}

void Game::LoadReplayDialog() {
    qel::ShowCursor(true);
    std::string name;
    if (ChooseFileName({false, {{"Load Replays (*.rep)", "*.rep"}}, "rep"}, name)) {
        if (HasExtension(name, ".rep"))
            LoadReplay(name.c_str(), false);
        else
            ErrorBox(MsgErrorLoadingReplay);
    }
    qel::ShowCursor(false);
}
