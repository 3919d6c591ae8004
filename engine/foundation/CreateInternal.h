// The class registry itself: the engine's own.
#pragma once
#include <vector>
#include "foundation/Create.h"

// Every registration so far, in registration order.
const std::vector<CREATE>& ClassRegistry();
