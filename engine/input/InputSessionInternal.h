// The session the keyboard and the mouse ask: the engine's own.
#pragma once
#include "input/InputSession.h"

InputSession& CurrentInputSession();
