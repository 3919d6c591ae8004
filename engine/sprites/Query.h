// A snapshot of the current level's sprites (the cursor left out) for which a
// predicate answers true, in display-list order.
#pragma once
#include <vector>
#include "QelExport.h"

class Sprite;

class QEL_API Query {
public:
    explicit Query(bool (*predicate)(Sprite*));
    ~Query();
    Query(const Query&) = delete;
    Query& operator=(const Query&) = delete;

    unsigned int Count() const { return static_cast<unsigned int>(kept.size()); }
    // i must be below Count().
    Sprite* operator[](unsigned int i) const { return kept[i]; }

private:
    std::vector<Sprite*> kept;
};
