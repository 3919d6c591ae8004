#include "world/MapManager.h"

#include <cstring>
#include "display/Display.h"
#include "display/SurfaceLoading.h"
#include "platform/Surface.h"

qel::Surface* MapManager::Acquire(const char* file, COLORREF key) {
    if (!file) return nullptr;
    for (MapManagerElem& e : entries) {
        if (std::strcmp(e.file, file) == 0 && e.key == key) {
            ++e.references;
            return e.surface;
        }
    }
    qel::Surface* surface = LoadImageFile(pDirectDraw, file, key);
    if (!surface) return nullptr;
    entries.push_back(MapManagerElem{String(file), surface, key, 1});
    return surface;
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
