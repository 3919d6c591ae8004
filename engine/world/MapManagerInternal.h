// The shared cache of map bitmaps: maps that show one file with one colour key
// share one surface, counted by reference and released with its last map.
#pragma once
#include <cstdint>
#include <vector>
#include "foundation/String.h"
#include "foundation/Types.h"

namespace qel {
class Surface;
}

struct MapManagerElem {
    String file;
    qel::Surface* surface = nullptr;
    std::uint32_t key = 0;
    std::int32_t references = 0;
    // Every pixel of the bitmap is opaque: its surface holds the same pixels
    // whatever the key, so another key can copy them instead of loading again.
    bool opaque = false;
};

class MapManager {
public:
    // The surface of (file, key), loaded on first use from the current asset
    // folder; null when the bitmap cannot be loaded (nothing is then stored).
    qel::Surface* Acquire(const char* file, COLORREF key);
    // Gives back one reference; the last one releases the surface.
    void Release(qel::Surface* surface);

    const std::vector<MapManagerElem>& Entries() const { return entries; }

private:
    qel::Surface* CopyWithKey(const char* file, COLORREF key, bool& opaque) const;
    std::vector<MapManagerElem> entries;
};

// The one cache of the engine.
MapManager& TheMapManager();
