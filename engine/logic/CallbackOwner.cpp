#include "logic/CallbackOwner.h"

namespace qel {

namespace {
thread_local const void* runningOwner = nullptr;
thread_local node* runningNode = nullptr;
}  // namespace

CallbackOwnerScope::CallbackOwnerScope(const void* owner, node* asNode)
    : previousOwner_(runningOwner), previousNode_(runningNode) {
    runningOwner = owner;
    runningNode = asNode;
}

CallbackOwnerScope::~CallbackOwnerScope() {
    runningOwner = previousOwner_;
    runningNode = previousNode_;
}

const void* CallbackOwnerAddress() { return runningOwner; }

node* CallbackOwnerNode() { return runningNode; }

}  // namespace qel
