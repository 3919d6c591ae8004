#include "world/MapPTR.h"

#include "world/Map.h"

// Never destroyed: handles may be used by static objects until the very end.
Map* MapPTR::dummyMapPtr = new Map();

static_assert(sizeof(MapPTR) == sizeof(void*));
