// The engine's shut-down: at WM_QUIT and in the fatal exit.
#pragma once
#include "runtime/QelMain.h"

// The shut-down at WM_QUIT; returns the quit code.
int ShutDown(int quitCode);
// What shut-down and the fatal exit share: game, levels, tables, effects,
// console, display and the single-instance lock; every pointer left null.
void TearDownEngine();
