// The level functions that registration stores in each level: one builder
// per level, each applying its record, and the empty change and exit hook.
#include "levels/LevelBuilder.h"
#include "logic/GameDeclarations.h"

namespace {
void Build(GameNode* level, int number) { nolt::BuildLevel(level, nolt::LevelRecordOf(number)); }
}  // namespace

void Menu(GameNode* level) { Build(level, 0); }
void Level_1(GameNode* level) { Build(level, 1); }
void Level_2(GameNode* level) { Build(level, 2); }
void Level_3(GameNode* level) { Build(level, 3); }
void Level_4(GameNode* level) { Build(level, 4); }
void Level_5(GameNode* level) { Build(level, 5); }
void Level_6(GameNode* level) { Build(level, 6); }
void Level_7(GameNode* level) { Build(level, 7); }
void Level_8(GameNode* level) { Build(level, 8); }
void Level_9(GameNode* level) { Build(level, 9); }
void Level_10(GameNode* level) { Build(level, 10); }
void In_Media_Res(GameNode* level) { Build(level, 11); }
void Level_11(GameNode* level) { Build(level, 12); }
void Level_12(GameNode* level) { Build(level, 13); }
void Level_13(GameNode* level) { Build(level, 14); }
void Level_14(GameNode* level) { Build(level, 15); }
void Level_15(GameNode* level) { Build(level, 16); }
void Level_16(GameNode* level) { Build(level, 17); }
void Level_17(GameNode* level) { Build(level, 18); }
void Level_18(GameNode* level) { Build(level, 19); }
void Level_19(GameNode* level) { Build(level, 20); }
void Level_20(GameNode* level) { Build(level, 21); }
void Deus_Ex_Machina(GameNode* level) { Build(level, 22); }
void Level_21(GameNode* level) { Build(level, 23); }
void Level_22(GameNode* level) { Build(level, 24); }
void Level_23(GameNode* level) { Build(level, 25); }
void Level_24(GameNode* level) { Build(level, 26); }
void Level_25(GameNode* level) { Build(level, 27); }
void Level_26(GameNode* level) { Build(level, 28); }
void Level_27(GameNode* level) { Build(level, 29); }
void Level_28(GameNode* level) { Build(level, 30); }
void Level_29(GameNode* level) { Build(level, 31); }
void Level_30(GameNode* level) { Build(level, 32); }
void Dies_Tenebrosa_Sicut_Nox(GameNode* level) { Build(level, 33); }
void Level_31(GameNode* level) { Build(level, 34); }
void Level_32(GameNode* level) { Build(level, 35); }
void Level_33(GameNode* level) { Build(level, 36); }
void Level_34(GameNode* level) { Build(level, 37); }
void Level_40(GameNode* level) { Build(level, 38); }

void EmptyLevelFunction(GameNode*) {}
