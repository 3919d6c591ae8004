// The object the engine runs table functions for. Those functions are untyped
// and a level file or a save game may bind any of them to any object, so a
// function written for one kind of owner asks what it was handed.
#pragma once
#include "QelExport.h"

class node;

namespace qel {

// While a scope lives, the table functions called on this thread run for
// `owner`; `asNode` is that owner as an engine object, or null (a particle).
class QEL_API CallbackOwnerScope {
public:
    CallbackOwnerScope(const void* owner, node* asNode);
    ~CallbackOwnerScope();
    CallbackOwnerScope(const CallbackOwnerScope&) = delete;
    CallbackOwnerScope& operator=(const CallbackOwnerScope&) = delete;

private:
    const void* previousOwner_;
    node* previousNode_;
};

// The owner the engine is running functions for (null outside a scope), and
// that owner as an engine object.
QEL_API const void* CallbackOwnerAddress();
QEL_API node* CallbackOwnerNode();

// The owner a function was handed, as a T: when the engine called it, the
// engine's object if that is a T and null otherwise; when program code called
// it directly, the type its caller gave.
template <class T>
T* OwnerAs(void* owner) {
    if (owner == nullptr || owner != CallbackOwnerAddress()) return static_cast<T*>(owner);
    return dynamic_cast<T*>(CallbackOwnerNode());
}

}  // namespace qel
