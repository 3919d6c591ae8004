// The level list: the game's 39 levels in play order, each with its actor
// table and its builder, and the two behaviours that run on every level.
#include "logic/GameDeclarations.h"
#include "runtime/EngineGlobals.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"

namespace {

struct LevelEntry {
    const char* name;
    LevelFunction buildActors;
    LevelFunction buildLevel;
};

// In registration order; a level's Id is its position + 1.
const LevelEntry levels[] = {
    {"Menu", BuildMenuActors, Menu},
    {"Level_1", BuildStandardActors, Level_1},
    {"Level_2", BuildStandardActors, Level_2},
    {"Level_3", BuildStandardActors, Level_3},
    {"Level_4", BuildStandardActors, Level_4},
    {"Level_5", BuildStandardActors, Level_5},
    {"Level_6", BuildStandardActors, Level_6},
    {"Level_7", BuildStandardActors, Level_7},
    {"Level_8", BuildStandardActors, Level_8},
    {"Level_9", BuildStandardActors, Level_9},
    {"Level_10", BuildStandardActors, Level_10},
    {"In_Media_Res", BuildInterludeActors, In_Media_Res},
    {"Level_11", BuildStandardActors, Level_11},
    {"Level_12", BuildStandardActors, Level_12},
    {"Level_13", BuildStandardActors, Level_13},
    {"Level_14", BuildStandardActors, Level_14},
    {"Level_15", BuildStandardActors, Level_15},
    {"Level_16", BuildStandardActors, Level_16},
    {"Level_17", BuildStandardActors, Level_17},
    {"Level_18", BuildStandardActors, Level_18},
    {"Level_19", BuildStandardActors, Level_19},
    {"Level_20", BuildStandardActors, Level_20},
    {"Deus_Ex_Machina", BuildInterludeActors, Deus_Ex_Machina},
    {"Level_21", BuildStandardActors, Level_21},
    {"Level_22", BuildStandardActors, Level_22},
    {"Level_23", BuildStandardActors, Level_23},
    {"Level_24", BuildStandardActors, Level_24},
    {"Level_25", BuildStandardActors, Level_25},
    {"Level_26", BuildStandardActors, Level_26},
    {"Level_27", BuildStandardActors, Level_27},
    {"Level_28", BuildStandardActors, Level_28},
    {"Level_29", BuildStandardActors, Level_29},
    {"Level_30", BuildStandardActors, Level_30},
    {"Dies_Tenebrosa_Sicut_Nox", BuildInterludeActors, Dies_Tenebrosa_Sicut_Nox},
    {"Level_31", BuildLevel31Actors, Level_31},
    {"Level_32", BuildStandardActors, Level_32},
    {"Level_33", BuildStandardActors, Level_33},
    {"Level_34", BuildStandardActors, Level_34},
    {"Level_40", BuildLevel40Actors, Level_40},
};
static_assert(sizeof levels / sizeof levels[0] == 39);

}  // namespace

void Qel() {
    myGame->GetBehavior().AddFunction(FunctionNo::leftright, true);
    myGame->GetBehavior().AddFunction(FunctionNo::altF4, true);
    int id = 1;
    for (const LevelEntry& entry : levels) {
        GameNode* level = NewGameNode();
        level->Id(id++);
        level->Name(entry.name);
        level->BuildActorsP = entry.buildActors;
        level->BuildLevelP = entry.buildLevel;
        level->OnLevelChangeP = EmptyLevelFunction;
        level->OnLevelExitP = EmptyLevelFunction;
        myGame->Add(level);
    }
    myGame->Title("NOLT");
}
