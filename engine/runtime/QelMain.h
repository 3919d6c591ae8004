// The engine's entry: starts the engine for the game program whose hooks are
// set, runs the game until its window closes and shuts the engine down.
#pragma once
#include "QelExport.h"
#include "platform/Resources.h"

// 0 after a normal end and after the early stops of start-up, except a start
// the single-instance lock refuses (another copy runs, or the lock cannot be
// taken): 1.
QEL_API int QelMain(HINSTANCE instance, HINSTANCE previousInstance, char* commandLine, int showCommand);
