#include "world/MapManagerInternal.h"

#include <cstring>
#include <memory>
#include "display/DisplayInternal.h"
#include "display/SurfaceLoadingInternal.h"
#include "platform/Surface.h"

qel::Surface* MapManager::Acquire(const char* file, COLORREF key) {
    if (!file) return nullptr;
    for (MapManagerElem& e : entries) {
        if (std::strcmp(e.file, file) == 0 && e.key == key) {
            ++e.references;
            return e.surface;
        }
    }
    bool opaque = false;
    qel::Surface* surface = CopyWithKey(file, key, opaque);
    if (!surface) surface = LoadImageFile(pDirectDraw, file, key, &opaque);
    if (!surface) return nullptr;
    entries.push_back(MapManagerElem{String(file), surface, key, 1, opaque});
    return surface;
}

// A level builder's map and its copy in the level differ only in the key:
// an opaque bitmap already loaded under another key is neither decoded again
// nor copied: the two surfaces share its pixels (the builder's map, and with
// it the first surface, goes as soon as the level holds its copy).
qel::Surface* MapManager::CopyWithKey(const char* file, COLORREF key, bool& opaque) const {
    for (const MapManagerElem& e : entries) {
        if (!e.opaque || std::strcmp(e.file, file) != 0) continue;
        std::unique_ptr<qel::Surface> copy = qel::Surface::SharingPixelsOf(*e.surface);
        SetSurfaceColorKey(copy.get(), key);
        opaque = true;
        return copy.release();
    }
    return nullptr;
}

void MapManager::Release(qel::Surface* surface) {
    if (!surface) return;
    for (auto it = entries.begin(); it != entries.end(); ++it) {
        if (it->surface != surface) continue;
        if (--it->references <= 0) {
            delete it->surface;
            entries.erase(it);
        }
        return;
    }
}

MapManager& TheMapManager() {
    // Never destroyed: maps held by static objects may release after exit code ran.
    static MapManager* cache = new MapManager;
    return *cache;
}
