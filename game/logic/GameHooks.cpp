// The hooks the engine calls at start-up, at the end and around save games.
#include "display/Display.h"
#include "foundation/File.h"
#include "logic/GameDeclarations.h"
#include "runtime/EngineGlobals.h"

void SetDataPath() {
    // Empty roots: the asset and data folders lie under the working directory.
    ArtAssetsPath = "";
    RTDPath = "";
}

void LoadGameFile() {}

void Mode() {
    SetMode(640, 480, 32);
    _IsWindowed = true;
}

void OnGameStart() {}

void OnGameEnd() {}

void OnSave(File& file) {
    file.Write(gravity);
    file.Write(facingRight);
    file.Write(soundMuted);
    file.Write(static_cast<int>(playerColour));
}

void OnLoad(File& file) {
    float savedGravity = 0;
    bool savedFacingRight = false, savedSoundMuted = false;
    int savedColour = 0;
    file.Read(savedGravity);
    file.Read(savedFacingRight);
    file.Read(savedSoundMuted);
    file.Read(savedColour);
    // A file that ends early keeps the values the game had.
    if (file.HasError()) return;
    gravity = savedGravity;
    facingRight = savedFacingRight;
    soundMuted = savedSoundMuted;
    playerColour = savedColour;
}

void InstallGameHooks() {
    SetDataPathP = SetDataPath;
    LoadGameFileP = LoadGameFile;
    ModeP = Mode;
    BuildLogicP = BuildLogic;
    QelP = Qel;
    OnGameStartP = OnGameStart;
    OnGameEndP = OnGameEnd;
    OnSaveP = OnSave;
    OnLoadP = OnLoad;
}
