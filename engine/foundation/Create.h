// Class registration: every saveable class has a static CREATE that adds its
// name and factory to the registry, so a File can re-create it by name.
#pragma once
#include "QelExport.h"
#include "foundation/String.h"

class node;

struct QEL_API CREATE {
    CREATE(const char* name, node* (*create)());

    String name;
    node* (*create)();
};
