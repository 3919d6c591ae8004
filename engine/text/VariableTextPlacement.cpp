// Where a Variable's text lies: bound to a map, following a sprite, centred on
// the screen; and each map's list of the texts drawn on it.
#include <cstring>
#include "display/DisplayInternal.h"
#include "foundation/List.h"
#include "foundation/MessageTable.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "logic/LogicTables.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "sprites/Sprite.h"
#include "text/TextDisplayInternal.h"
#include "text/TextLayoutInternal.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"

namespace {

[[maybe_unused]] const bool installed = TextDisplay::Install();

constexpr int MsgLocalVariable = 1;
constexpr int MsgMapMissing = 20;
constexpr int MsgNullSprite = 38;
constexpr int MsgNullSpriteName = 39;
constexpr int MsgFrameOutsideMap = 48;
constexpr int MsgUnnamedMap = 49;

constexpr const char* BelongToMapTarget = "void Variable::BelongToMap(char *)";

Map* FindLevelMap(const char* name) {
    if (!gNode) return nullptr;
    List& maps = gNode->Maps();
    for (node* n = maps.Head(); !n->EOList(); n = n->Next()) {
        Map* map = static_cast<Map*>(n);
        if (std::strcmp(map->Name(), name) == 0) return map;
    }
    return nullptr;
}

bool IsZero(const QelRect& r) { return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0; }

std::int32_t Inset(std::int32_t edge, std::int64_t by) { return textmath::ToInt32(edge + by); }

void PlaceAtHotSpot(Variable& v, Sprite* sprite, int hotSpot) {
    const double x = double(sprite->MapPositionX()) + double(sprite->HotSpotX(hotSpot));
    const double y = double(sprite->MapPositionY()) + double(sprite->HotSpotY(hotSpot));
    v.m_Frame.left = TruncToInt32(x);
    v.m_Frame.right = TruncToInt32(x + v.m_FrameWidth);
    v.m_Frame.top = TruncToInt32(y);
    v.m_Frame.bottom = TruncToInt32(y + v.m_FrameHeight);
}

}  // namespace

void Variable::Follow(Sprite* sprite, int hotSpot) {
    if (!sprite) {
        UserError::Report("void Variable::Follow(Sprite *)", "%s", MessageTable[MsgNullSprite]);
        return;
    }
    PlaceAtHotSpot(*this, sprite, hotSpot);
}

void Variable::Follow(const char* spriteName, int hotSpot) {
    constexpr const char* target = "void Variable::Follow(const char *)";
    if (!spriteName) {
        UserError::Report(target, "%s", MessageTable[MsgNullSpriteName]);
        return;
    }
    Sprite* sprite = Sprite::Search(spriteName);
    if (!sprite) {
        UserError::Report(target, "The sprite name does not exist.");
        return;
    }
    PlaceAtHotSpot(*this, sprite, hotSpot);
}

// The text joins the map's own list only at the next level switch (or when it
// is created or loaded for the map).
void Variable::BelongToMap(const char* mapName) {
    if (!mapName) {
        UserError::Report(BelongToMapTarget, "%s", MessageTable[MsgUnnamedMap]);
        return;
    }
    m_TextMap = FindLevelMap(mapName);
    if (!m_TextMap) {
        UserError::Report(BelongToMapTarget, MessageTable[MsgMapMissing], mapName);
        return;
    }
    m_ScreenRect = QelRect{0, 0, textmath::ToInt32(std::int64_t(m_TextMap->Width()) - 1),
                           textmath::ToInt32(std::int64_t(m_TextMap->Height()) - 1)};
    if (IsZero(m_Frame)) {
        m_Frame = QelRect{Inset(m_ScreenRect.left, 10), Inset(m_ScreenRect.top, 10), Inset(m_ScreenRect.right, -10),
                          Inset(m_ScreenRect.bottom, -10)};
        m_FrameWidth = textmath::ToInt32(std::int64_t(m_Frame.right) - m_Frame.left - 1);
        m_FrameHeight = textmath::ToInt32(std::int64_t(m_Frame.bottom) - m_Frame.top - 1);
    } else if (!RectsOverlap(m_Frame, m_ScreenRect)) {
        UserError::Report(BelongToMapTarget, MessageTable[MsgFrameOutsideMap], static_cast<const char*>(m_Name),
                          mapName);
    }
}

void Variable::CenterViewport() {
    if (m_TextMap) return;
    const std::int64_t w = std::int64_t(m_Frame.right) - m_Frame.left;
    const std::int64_t h = std::int64_t(m_Frame.bottom) - m_Frame.top;
    const std::int64_t left = (std::int64_t(displayWidth) - w) / 2;
    const std::int64_t top = (std::int64_t(displayHeight) - h) / 2;
    m_Frame = QelRect{textmath::ToInt32(left), textmath::ToInt32(top), textmath::ToInt32(left + w),
                      textmath::ToInt32(top + h)};
}

void Variable::UpdateTextMaps() {
    if (!gNode) return;
    Map::ClearVariableMapList();
    List& variables = gNode->Variables();
    for (node* n = variables.Head(); !n->EOList(); n = n->Next()) {
        Variable* v = static_cast<Variable*>(n);
        if (v->m_TextMap) v->m_TextMap->TextVariables().Add(v);
    }
}

void Variable::AddLocalVariable(unsigned int index) {
    if (!WithinBound(index, maxNIndex) || !NArray || !NArray[index]) {
        UserError::Report("void Variable::AddLocalVariable(unsigned int index)", MessageTable[MsgLocalVariable],
                          static_cast<int>(index));
        return;
    }
    delete localVariable;
    m_LocalVariableIndex = static_cast<std::int32_t>(index);
    localVariable = NArray[index]->Clone();
}
