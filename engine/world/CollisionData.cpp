#include "world/CollisionData.h"

CollisionData::~CollisionData() = default;
