// A map of the current level reached by name; the placeholder map when missing.
#pragma once
#include "QelExport.h"
#include "world/NamedHandle.h"

class Map;

class QEL_API MapPTR : public NamedHandle<Map, MapPTR> {
public:
    using NamedHandle::NamedHandle;
    MapPTR& operator=(Map* p) {
        NamedHandle::operator=(p);
        return *this;
    }

    // A default-constructed map: no bitmap, no grid; calls through it are harmless.
    static Map* dummyMapPtr;
    static Map* Placeholder() { return dummyMapPtr; }
};
