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
// an opaque bitmap already loaded under another key is copied, not decoded.
qel::Surface* MapManager::CopyWithKey(const char* file, COLORREF key, bool& opaque) const {
    for (const MapManagerElem& e : entries) {
        if (!e.opaque || std::strcmp(e.file, file) != 0) continue;
        const qel::Surface& source = *e.surface;
        std::unique_ptr<qel::Surface> copy =
            qel::Surface::Create(source.Width(), source.Height(), source.BitsPerPixel());
        if (!copy) return nullptr;
        const QelRect whole{0, 0, source.Width(), source.Height()};
        if (copy->Blit(whole, source, whole, qel::BlitNone) != qel::BlitResult::Ok) return nullptr;
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
