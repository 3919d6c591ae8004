// The owner a table function was handed, as the kind of object it serves.
// The tables are untyped and a level file or a save game may bind a function
// to any object: handed another kind, a function reports and does nothing.
#pragma once
#include "foundation/UserError.h"
#include "logic/CallbackOwner.h"

// The owner as an Owner, or null after a report.
template <class Owner>
Owner* OwnerOf(void* owner, const char* kind, const char* function) {
    Owner* typed = qel::OwnerAs<Owner>(owner);
    if (typed == nullptr) UserError::Report(function, "The function runs for an object that is not a %s.", kind);
    return typed;
}
