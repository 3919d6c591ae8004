#include "logic/Alarm.h"

#include <cstring>

#include "display/GeometricsDrawn.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteLevelInternal.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"

CREATE Alarm::cr("Alarm", Alarm::CreateObject);

namespace {

constexpr COLORREF kZoneColour = 0x00C8FF64;  // red 100, green 255, blue 200
const char* const kNotFound = "Alarm %s not found.";

bool SegmentCounts(const CollisionSegment& s, const QelRect& box, float dirX, float dirY) {
    if (!SegmentIntersectsRect(s.OriginX(), s.OriginY(), s.EndX(), s.EndY(), float(box.left), float(box.top),
                               float(box.right), float(box.bottom)))
        return false;
    return -dirX * s.NormalX() + -dirY * s.NormalY() >= 0.0f;
}

bool CircleCounts(const CollisionCircle& c, const QelRect& box) {
    return CircleIntersectsRect(c.OriginX(), c.OriginY(), c.Radius(), float(box.left), float(box.top), float(box.right),
                                float(box.bottom));
}

}  // namespace

node* Alarm::CreateObject() { return new Alarm(); }

Alarm::Alarm() = default;

Alarm::Alarm(Alarm* source) {
    if (source) CopyFrom(*source);
}

Alarm::Alarm(const Alarm& other) : node() { *this = other; }

Alarm& Alarm::operator=(const Alarm& other) {
    if (this != &other) CopyFrom(other);
    return *this;
}

Alarm::~Alarm() { DropLocalData(); }

node* Alarm::Clone() const { return new Alarm(*this); }

// The trigger sprite is not copied: it only means something while the
// original's behaviour runs, and a copy outliving that sprite would keep a
// dangling pointer into the next save.
void Alarm::CopyFrom(const Alarm& source) {
    behavior = source.behavior;
    id = source.id;
    active = source.active;
    name = source.name;
    shapes = source.shapes;
    triggerSprite = nullptr;
    firedBy = nullptr;
    executeMode = source.executeMode;
    showCollision = source.showCollision;
    DropLocalData();
    if (source.localVariable) {
        localDataIndex = source.localDataIndex;
        localVariable = source.localVariable->Clone();
    }
}

void Alarm::DropLocalData() {
    delete localVariable;
    localVariable = nullptr;
    localDataIndex = -1;
}

void Alarm::Name(const char* text) {
    if (text) name = text;
}

void Alarm::ExecuteOnce(bool once) {
    executeMode = once ? Armed : EveryFrame;
    firedBy = nullptr;
}

void Alarm::AddCollisionData(CollisionSegment segment) {
    if (segment.MagnitudeX() == 0.0f && segment.MagnitudeY() == 0.0f) return;
    shapes.add(segment.Clone());
}

void Alarm::AddCollisionData(CollisionCircle circle) { shapes.add(circle.Clone()); }

void Alarm::ShowAlarmCollision(Map* map) {
    if (!map) return;
    const float wx = map->WorldPositionX();
    const float wy = map->WorldPositionY();
    GeometricsDrawn draw;
    for (node* n = shapes.Head(); !n->EOList(); n = n->Next()) {
        const auto* shape = static_cast<const CollisionData*>(n);
        if (shape->Type() == CollisionData::SegmentKind) {
            const auto* s = static_cast<const CollisionSegment*>(shape);
            draw.Line(s->OriginX() + wx, s->OriginY() + wy, s->OriginX() + s->DirectionX() * s->MagnitudeX() + wx,
                      s->OriginY() + s->DirectionY() * s->MagnitudeY() + wy, kZoneColour);
        } else if (shape->Type() == CollisionData::CircleKind) {
            const auto* c = static_cast<const CollisionCircle*>(shape);
            draw.Circle(c->OriginX() + wx, c->OriginY() + wy, c->Radius(), kZoneColour);
        }
    }
}

void Alarm::AddLocalVariable(unsigned int index) {
    if (!WithinBound(index, maxNIndex) || !NArray || !NArray[index]) {
        UserError::Report("void Alarm::AddLocalVariable(unsigned int index)", "The local variable %d cannot be found.",
                          static_cast<int>(index));
        return;
    }
    DropLocalData();
    localDataIndex = static_cast<std::int32_t>(index);
    localVariable = NArray[index]->Clone();
}

Alarm* Alarm::Search(const char* text) {
    Alarm* found = nullptr;
    if (text) {
        sprites::ForEachSprite([&](Sprite* s) {
            for (unsigned int i = 0; i < s->alarms.Size(); ++i) {
                Alarm* a = s->alarms[i];
                if (a && std::strcmp(a->Name(), text) == 0) {
                    found = a;
                    return true;
                }
            }
            return false;
        });
    }
    if (!found) UserError::Report("Alarm * Alarm::Search(const char *)", kNotFound, text ? text : "(null)");
    return found;
}

Alarm* Alarm::Search(const char* text, const char* spriteName) {
    Sprite* sprite = Sprite::Search(spriteName);
    if (!sprite) return nullptr;
    if (text) {
        for (unsigned int i = 0; i < sprite->alarms.Size(); ++i) {
            Alarm* a = sprite->alarms[i];
            if (a && std::strcmp(a->Name(), text) == 0) return a;
        }
    }
    UserError::Report("Alarm* Alarm::Search(const char *,const char *)", kNotFound, text ? text : "(null)");
    return nullptr;
}

// --- the per-frame test ---

bool Alarm::Touches(const QelRect& box, float dirX, float dirY) const {
    for (node* n = shapes.Head(); !n->EOList(); n = n->Next()) {
        const auto* shape = static_cast<const CollisionData*>(n);
        if (shape->Type() == CollisionData::SegmentKind) {
            if (SegmentCounts(*static_cast<const CollisionSegment*>(shape), box, dirX, dirY)) return true;
        } else if (CircleCounts(*static_cast<const CollisionCircle*>(shape), box)) {
            return true;
        }
    }
    return false;
}

void Alarm::Watch(Sprite* sprite, const QelRect& box, float dirX, float dirY) {
    triggerSprite = nullptr;
    if (!active || shapes.Count() == 0) return;
    if (Touches(box, dirX, dirY)) {
        Fire(sprite);
        return;
    }
    if (executeMode == EveryFrame) return;
    // Only the sprite that fired it re-arms it by leaving; a fired alarm with no
    // known firer (loaded, copied, or its sprite gone) re-arms at once.
    if (firedBy == nullptr || firedBy == sprite) {
        executeMode = Armed;
        firedBy = nullptr;
    }
}

void Alarm::Fire(Sprite* sprite) {
    switch (executeMode) {
        case EveryFrame:
            triggerSprite = sprite;
            behavior.Update(*this);
            break;
        case Armed:
            executeMode = Fired;
            firedBy = sprite;
            triggerSprite = sprite;
            behavior.Update(*this);
            break;
        default:
            if (firedBy == nullptr) firedBy = sprite;
            break;
    }
}

void Alarm::ForgetSprite(const Sprite* sprite) {
    if (sprite == nullptr) return;
    if (triggerSprite == sprite) triggerSprite = nullptr;
    if (firedBy == sprite) firedBy = nullptr;
}

// --- record ---

void Alarm::Save(File& file) {
    behavior.Save(file);
    file.Write(static_cast<int>(id));
    name.Save(file);
    file.Write(active);
    shapes.Save(file);
    file.Write(static_cast<node*>(triggerSprite));
    file.Write(static_cast<int>(executeMode));
    file.Write(showCollision);
    file.Write(static_cast<int>(localDataIndex));
    file.Write(localVariable);
}

void Alarm::Load(File& file) {
    behavior.Load(file);
    int i32 = 0;
    file.Read(i32);
    id = i32;
    name.Load(file);
    file.Read(active);
    shapes.del();
    shapes.LoadOnly<CollisionData>(file);
    node* trigger = nullptr;
    file.Read(trigger);
    // Sprites are owned by their level's lists; a wrong class means corruption.
    if (trigger && std::strcmp(trigger->ClassName(), "Sprite") != 0) file.SetError();
    triggerSprite = file.HasError() ? nullptr : static_cast<Sprite*>(trigger);
    firedBy = nullptr;
    i32 = 0;
    file.Read(i32);
    if (i32 < EveryFrame || i32 > Fired) file.SetError();
    executeMode = i32;
    file.Read(showCollision);
    i32 = -1;
    file.Read(i32);
    DropLocalData();
    node* data = nullptr;
    file.Read(data);
    // The local data becomes the alarm's own: the alarm itself, its map or an
    // object another owner took would end up deleted twice.
    if (file.Claim(data)) {
        localDataIndex = i32;
        localVariable = data;
    }
    if (file.HasError()) ClearAfterBadLoad();
}

// A corrupt record leaves an alarm that never fires and points at nothing.
void Alarm::ClearAfterBadLoad() {
    shapes.del();
    triggerSprite = nullptr;
    firedBy = nullptr;
    if (executeMode < EveryFrame || executeMode > Fired) executeMode = EveryFrame;
    active = false;
}
