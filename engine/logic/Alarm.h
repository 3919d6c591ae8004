// A named trigger zone on a map: segments and circles whose behaviour runs,
// with the alarm as owner, when a sprite that adopted the alarm touches them.
#pragma once
#include <cstdint>

#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/List.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "foundation/Types.h"
#include "logic/Behavior.h"

class CollisionCircle;
class CollisionSegment;
class Map;
class Sprite;

class QEL_API Alarm : public node {
public:
    // Execute modes: every frame of contact, armed (fires on the next contact),
    // fired (waits until the sprite that fired it is clear).
    enum ExecuteMode : std::int32_t { EveryFrame = 0, Armed = 1, Fired = 2 };

    Alarm();
    // The heap copy a map stores; the copy has no trigger sprite.
    explicit Alarm(Alarm* source);
    Alarm(const Alarm& other);
    Alarm& operator=(const Alarm& other);
    ~Alarm() override;

    static node* CreateObject();
    static CREATE cr;
    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override { return "Alarm"; }

    void Name(const char* text);
    const char* Name() const { return name; }
    void Id(int v) { id = v; }
    int Id() const { return id; }
    void Active(bool on) { active = on; }
    bool Active() const { return active; }
    // true arms the alarm (once per entry), false runs it every frame of contact.
    void ExecuteOnce(bool once);
    bool ExecuteOnce() const { return executeMode != EveryFrame; }
    void ShowCollision(bool on) { showCollision = on; }
    bool ShowCollision() const { return showCollision; }

    // A segment with both magnitudes 0 is dropped; shapes go to the front.
    void AddCollisionData(CollisionSegment segment);
    void AddCollisionData(CollisionCircle circle);
    void ShowAlarmCollision(Map* map);
    void AddLocalVariable(unsigned int index);

    // Only alarms adopted by a sprite of the current level are found.
    static Alarm* Search(const char* name);
    static Alarm* Search(const char* name, const char* spriteName);

    // --- what the sprites' per-frame test and the behaviours use ---
    std::int32_t Mode() const { return executeMode; }
    Sprite* TriggerSprite() const { return triggerSprite; }
    void TriggerSprite(Sprite* sprite) { triggerSprite = sprite; }
    List& Shapes() { return shapes; }
    Behavior& GetBehavior() { return behavior; }
    node* LocalData() const { return localVariable; }
    std::int32_t LocalDataIndex() const { return localDataIndex; }

    // True when a shape counts for a box (map coordinates, edges included)
    // moving along (dirX, dirY): a segment it crosses whose normal faces the
    // motion, or a circle it meets.
    bool Touches(const QelRect& box, float dirX, float dirY) const;
    // One sprite's test of this frame: fires the behaviour as the mode says and
    // re-arms a fired alarm once the sprite that fired it is clear.
    void Watch(Sprite* sprite, const QelRect& box, float dirX, float dirY);
    // A sprite about to be destroyed: no pointer to it is kept.
    void ForgetSprite(const Sprite* sprite);

private:
    void CopyFrom(const Alarm& source);
    void DropLocalData();
    void Fire(Sprite* sprite);
    void ClearAfterBadLoad();

    std::int32_t id = 0;
    String name;
    bool active = true;
    std::int32_t executeMode = EveryFrame;
    bool showCollision = false;
    std::int32_t localDataIndex = -1;
    List shapes;
    Sprite* triggerSprite = nullptr;
    // The sprite whose contact fired a once-only alarm: only its leaving
    // re-arms it, so a second sprite standing clear cannot make it fire again
    // for the first one. Not saved: after a load or a copy the first sprite
    // tested decides (clear, it re-arms the alarm; touching, it becomes the firer).
    Sprite* firedBy = nullptr;
    Behavior behavior;
};
