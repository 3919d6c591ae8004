#include "FuzzSupport.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "display/DisplayInternal.h"
#include "foundation/FatalExit.h"
#include "logic/GameDeclarations.h"
#include "platform/MessageBox.h"
#include "platform/Resources.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"
#include "sprites/SpriteListInternal.h"
#include "testing/TestHooks.h"

namespace fuzz {

namespace {

std::filesystem::path scratch;

void RemoveScratch() {
    std::error_code ignored;
    std::filesystem::current_path(std::filesystem::temp_directory_path(), ignored);
    std::filesystem::remove_all(scratch, ignored);
}

std::unique_ptr<qel::Surface> backBuffer;

// The game goes before the process's statics (the mixer's voices among them).
void EndSmallGame() {
    pMainCharacter = nullptr;
    if (gNode != nullptr) gNode->Empty();
    gNode = nullptr;
    Game::gameNodeList.del();
    delete myGame;
    myGame = nullptr;
    EmptyActorTable();
    pBackBuffer = nullptr;
    backBuffer.reset();
}

}  // namespace

void StartHeadless() {
    static const bool started = [] {
        setenv("SDL_VIDEODRIVER", "dummy", 1);
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        qel::SetMessageBoxObserver([](const char*, const char*, qel::MessageBoxIcon) {});
        fatalExitLinks.shutdownEngine = [] { throw FatalExitReached{}; };
        std::string pattern = (std::filesystem::temp_directory_path() / "qel-fuzz-XXXXXX").string();
        if (mkdtemp(pattern.data()) == nullptr) std::abort();
        scratch = pattern;
        std::filesystem::current_path(scratch);
        std::atexit(RemoveScratch);
        return true;
    }();
    (void)started;
}

struct ResourceInput::Table {
    std::vector<std::uint8_t> bytes;
    std::string name;
    qel::ResourceEntry entry{};
    qel::ResourceTable table{};
    const qel::ResourceTable* previous = nullptr;
};

ResourceInput::ResourceInput(const char* name, const std::uint8_t* data, std::size_t size)
    : table(std::make_unique<Table>()) {
    // A heap block of exactly the input's size, so an over-read shows.
    table->bytes.assign(data, data + size);
    table->bytes.shrink_to_fit();
    table->name = name;
    table->entry = {"RCDATA", table->name.c_str(), table->bytes.data(), static_cast<std::uint32_t>(size)};
    table->table = {&table->entry, 1};
    table->previous = qel::ProgramResources();
    qel::SetProgramResources(&table->table);
}

ResourceInput::~ResourceInput() { qel::SetProgramResources(table->previous); }

std::string WriteInput(const char* leaf, const std::uint8_t* data, std::size_t size) {
    std::ofstream(leaf, std::ios::binary | std::ios::trunc)
        .write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    return leaf;
}

void StartSmallGame() {
    static const bool started = [] {
        StartHeadless();
        // The game's own tables, hooks and levels, with the art that the
        // build generated for it.
        ArtAssetsPath = QEL_GAME_DATA_DIR;
        RTDPath = QEL_GAME_DATA_DIR;
        BuildAssetFolders();
        BuildLogic();
        OnSaveP = OnSave;
        OnLoadP = OnLoad;
        displayDepth = 32;
        backBuffer = qel::Surface::Create(640, 480, 32);
        pBackBuffer = backBuffer.get();
        myGame = new Game();
        Qel();
        ResetSmallGame();
        std::atexit(EndSmallGame);
        return true;
    }();
    (void)started;
    ResetSmallGame();
}

void ResetSmallGame() {
    pMainCharacter = nullptr;
    if (gNode != nullptr) gNode->Empty();
    EmptyActorTable();
    // The game's level number names the level it runs, as after a level
    // switch: a save of it is filed under its own number.
    gNode = nullptr;
    myGame->LevelNumber(1);
    myGame->ChangePending(false);
    gNode = Game::Search(1);
    gNode->Execute();
}

std::vector<std::vector<std::uint8_t>> SplitInput(const std::uint8_t* data, std::size_t size,
                                                  const std::string& separator) {
    std::vector<std::vector<std::uint8_t>> parts(1);
    for (std::size_t at = 0; at < size;) {
        if (size - at >= separator.size() && std::equal(separator.begin(), separator.end(), data + at)) {
            parts.emplace_back();
            at += separator.size();
            continue;
        }
        parts.back().push_back(data[at++]);
    }
    return parts;
}

}  // namespace fuzz
