#include "foundation/CreateInternal.h"

namespace {

std::vector<CREATE>& Registry() {
    static std::vector<CREATE> registry;
    return registry;
}

}  // namespace

CREATE::CREATE(const char* name, node* (*create)()) : name(name), create(create) { Registry().push_back(*this); }

const std::vector<CREATE>& ClassRegistry() { return Registry(); }
