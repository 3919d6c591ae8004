// The mouse cursor of a level, drawn as a sprite: places the cursor sprite
// into the current level, keeps it and the mouse in step, and answers whether
// a button went down while the cursor touches a sprite or a map shape.
#pragma once
#include <cstdint>

#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "foundation/Types.h"
#include "logic/Behavior.h"

class Sprite;

class QEL_API QelCursor : public node {
public:
    // The actor slot of the built-in cursor picture, and the actor number
    // that selects it.
    static constexpr unsigned int BuiltInActor = 1000;
    static constexpr unsigned int BuiltInActorSelector = 2000;

    // At the display's centre, with the built-in actor made.
    QelCursor();
    ~QelCursor() override;
    QelCursor(const QelCursor&) = delete;
    QelCursor& operator=(const QelCursor&) = delete;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override { return "QelCursor"; }
    static node* CreateObject();
    static CREATE cr;

    // Makes actor slot 1000 the built-in cursor picture ("TEXTSCURSOR").
    static void DefaultActor();

    const char* Name() const { return name; }
    // Adds the cursor sprite to the current level (hidden until the game shows
    // the cursor) and makes this the current cursor.
    void AddSpriteCursor(unsigned int actor, unsigned int animation, unsigned int frame, bool collisionType);
    // The cursor sprite while it is still in the current level, else null.
    Sprite* CursorSprite() const;

    void Animation(unsigned int n);
    void Frame(unsigned int n);
    void Delay(unsigned int d);
    int Animation() const;
    int Frame() const;
    unsigned int Delay() const;
    bool CollisionWithSprite(const char* spriteName) const;
    bool CollisionWithMap() const;
    bool CollisionWithMap(int id) const;
    void ShowCollisionData(bool on);
    void ShowBoundingBox(bool on);
    bool IsTriggeredOnSprite(const char* spriteName, unsigned char button) const;
    bool IsPressedOnSprite(const char* spriteName, unsigned char button) const;
    bool IsTriggeredOnMap(int id, unsigned char button) const;
    bool IsPressedOnMap(int id, unsigned char button) const;
    bool InRect(QelRect r) const;

    // Places the cursor at a viewport position (kept within the viewport) and
    // asks the mouse to go there; the sprite takes the position as given.
    void ViewportPositionX(unsigned int x, bool displacement);
    void ViewportPositionY(unsigned int y, bool displacement);
    void ViewportPosition(unsigned int x, unsigned int y, bool displacement);
    unsigned int ViewportPositionX() const { return viewportX; }
    unsigned int ViewportPositionY() const { return viewportY; }
    // Once per frame: the cursor sprite goes to the mouse.
    void __InternalCursorFct();

    void AddLocalVariable(unsigned int index);
    node* LocalData() const { return localVariable; }
    Behavior& GetBehavior() { return behavior; }
    bool CollisionType() const { return collisionType; }
    unsigned int ActorIndex() const { return actorIndex; }

    // Makes a loaded cursor the current one: it takes the cursor sprite
    // already in the current level, else adds a new one. Loading alone
    // changes nothing outside the cursor, so a refused save touches nothing.
    void AdoptOrAddSpriteCursor();

private:
    void PlaceX(unsigned int x, bool displacement);
    void PlaceY(unsigned int y, bool displacement);
    void LocateMouse() const;

    String name;
    Sprite* cursorSprite = nullptr;
    std::uint32_t viewportX = 0;
    std::uint32_t viewportY = 0;
    bool collisionType = false;
    std::uint32_t actorIndex = BuiltInActor;
    std::int32_t localDataIndex = -1;
    Behavior behavior;
};

// A new default cursor; the caller stores it in pQelCursor.
QEL_API QelCursor* NewQelCursor();
