// The game program's embedded resources (RCDATA, "WAVE", "midi", bitmaps, ...),
// looked up by type and name as the engine's loaders expect.
#pragma once
#include <cstddef>
#include <cstdint>
#include "QelExport.h"

namespace qel {

struct ResourceEntry {
    const char* type;
    const char* name;
    const unsigned char* data;
    std::uint32_t size;
};

// A program's whole resource table; a pointer to it is the program's instance handle.
struct ResourceTable {
    const ResourceEntry* entries;
    std::size_t count;
};

// The table that lookups search; QelMain sets it from its instance argument.
QEL_API void SetProgramResources(const ResourceTable* table);
QEL_API const ResourceTable* ProgramResources();

// The resource of that type and name (case-insensitive), or null.
QEL_API const ResourceEntry* FindProgramResource(const char* type, const char* name);

}  // namespace qel

using HINSTANCE = const qel::ResourceTable*;
