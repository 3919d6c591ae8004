#include "foundation/Node.h"

node::node() : next(nullptr), previous(nullptr), localVariable(nullptr) {}

node::node(const node&) : node() {}

node::~node() {
    next = nullptr;
    previous = nullptr;
}

node* node::Clone() const { return new node; }

void node::Load(File&) {}

void node::Save(File&) {}

const char* node::ClassName() const { return "node"; }
