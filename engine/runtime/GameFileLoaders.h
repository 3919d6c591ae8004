// Builds a whole game from data: the binary game file (display mode, logic
// tables, levels) and each level's binary level file (actors, then the level's
// settings and contents). Files that are short or corrupt end the program with
// a message that says what is wrong; nothing half-read is ever used.
#pragma once
#include "QelExport.h"

class GameNode;

// Read the three parts of _GameFile (made by CreateBinaryGameFile), in this order.
QEL_API void GenerateMode();
QEL_API void GenerateLogic();
QEL_API void GenerateLevels();
// Read the two parts of _LevelFile (opened by GameNode::Execute), actors first.
QEL_API void GenerateActors(GameNode* level);
QEL_API void GenerateLevel(GameNode* level);
