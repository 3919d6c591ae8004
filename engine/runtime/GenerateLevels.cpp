// The game file's third part: the game's behaviour, its levels with their
// level functions and level files, the window title and the game's local data.
#include <initializer_list>
#include <memory>
#include <vector>

#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameFileLoadersInternal.h"
#include "runtime/GameNode.h"

namespace gamefile {

namespace {

using namespace stored;

// A level with empty name and level file, for checking the count against the data.
constexpr long LevelBytes = Int + EmptyText + 4 * Int + EmptyText;

// The level functions are the game program's: a number must name an entry of its table.
bool LevelFunctionsKnown(Reader& r, std::int32_t level, std::initializer_list<std::uint32_t> numbers) {
    for (std::uint32_t i : numbers) {
        if (i < VoidPointerCount(LVFArray)) continue;
        r.Fail("level %d calls level function %u, which the game does not have", level, i);
        return false;
    }
    return true;
}

LevelFunction LevelFunctionAt(std::uint32_t i) { return reinterpret_cast<LevelFunction>(VoidPointerAt(LVFArray, i)); }

// A program resource of that name is read as it is; otherwise the file is in
// the data folder. No name: the level is built by its functions alone.
String LevelFilePath(const String& name) {
    if (name.empty()) return name;
    if (qel::FindProgramResource("RCDATA", name) != nullptr) return name;
    return dataFolder + name;
}

std::unique_ptr<GameNode> ReadLevelEntry(Reader& r) {
    auto level = std::make_unique<GameNode>();
    level->Id(r.Int());
    level->Name(r.Text());
    const std::uint32_t actors = r.UInt(), build = r.UInt(), change = r.UInt(), exit = r.UInt();
    const String file = r.FileName();
    if (!r.Ok() || !LevelFunctionsKnown(r, level->Id(), {actors, build, change, exit})) return nullptr;
    level->BuildActorsP = LevelFunctionAt(actors);
    level->BuildLevelP = LevelFunctionAt(build);
    level->OnLevelChangeP = LevelFunctionAt(change);
    level->OnLevelExitP = LevelFunctionAt(exit);
    level->LevelFileName = LevelFilePath(file);
    return level;
}

bool Listed(const GameNode* level) {
    for (node* n = Game::gameNodeList.Head(); !n->EOList(); n = n->Next())
        if (n == level) return true;
    return false;
}

}  // namespace

bool ReadLevels(Reader& r) {
    r.Section("levels");
    const std::vector<BehaviourEntry> behaviour = r.Behaviour();
    const std::int32_t count = r.Count("levels", LevelBytes);
    std::vector<std::unique_ptr<GameNode>> levels;
    for (std::int32_t i = 0; i < count && r.Ok(); ++i) {
        std::unique_ptr<GameNode> level = ReadLevelEntry(r);
        if (level) levels.push_back(std::move(level));
    }
    const String title = r.Text();
    const std::int32_t local = r.LocalVariable();
    if (!r.Ok()) return false;
    Apply(behaviour, myGame->GetBehavior());
    for (std::unique_ptr<GameNode>& level : levels) {
        myGame->Add(level.get());
        // A level whose Id is taken stays with its caller: it goes here.
        if (Listed(level.get())) (void)level.release();
    }
    myGame->Title(title);
    ApplyLocalVariable(local, *myGame);
    return true;
}

}  // namespace gamefile

void GenerateLevels() {
    if (myGame == nullptr) {
        UserError::Report("void GenerateLevels(void)", "The game does not exist yet.");
        return;
    }
    gamefile::ReadGamePart("void GenerateLevels(void)", gamefile::ReadLevels);
}
