#include "platform/Resources.h"

#include <strings.h>

namespace qel {

namespace {
const ResourceTable* programTable = nullptr;
}

void SetProgramResources(const ResourceTable* table) { programTable = table; }

const ResourceTable* ProgramResources() { return programTable; }

const ResourceEntry* FindProgramResource(const char* type, const char* name) {
    if (!programTable || !type || !name) return nullptr;
    for (std::size_t i = 0; i < programTable->count; ++i) {
        const ResourceEntry& e = programTable->entries[i];
        if (strcasecmp(e.type, type) == 0 && strcasecmp(e.name, name) == 0) return &e;
    }
    return nullptr;
}

}  // namespace qel
