#include "sprites/Query.h"

#include "sprites/SpriteLevelInternal.h"

Query::Query(bool (*predicate)(Sprite*)) {
    if (!predicate) return;
    sprites::ForEachSprite([this, predicate](Sprite* s) {
        if (s->ZOrder() != Sprite::CursorZOrder && predicate(s)) kept.push_back(s);
        return false;
    });
}

Query::~Query() = default;
