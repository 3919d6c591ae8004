// The engine's game object: an instance of an actor placed on a map of the
// current level, with its animation, position, motion, collision state,
// behaviour, local variables and saved record.
#pragma once
#include <cstddef>
#include <cstdint>
#include <deque>
#include "QelExport.h"
#include "foundation/Array.h"
#include "foundation/Create.h"
#include "foundation/List.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "foundation/Types.h"
#include "foundation/Variable.h"
#include "input/KeyState.h"
#include "logic/Behavior.h"
#include "world/CollisionSegment.h"

class Alarm;
class CollisionData;
class FrameElem;
class AnimationElem;
class Map;
class MovementPattern;
class PathStateMachineTraverser;

// A queued network input record: type (8 frame marker, 9 keys, 10 mouse),
// size of the data in bytes and the data, owned by the queue.
struct QEL_API _NETMSGQ {
    std::uint8_t type = 0;
    std::uint32_t size = 0;
    std::uint8_t* data = nullptr;
};

class QEL_API Sprite : public node {
public:
    static constexpr std::uint32_t CursorZOrder = 17381;
    static constexpr int DisplayListCount = 16;
    static constexpr int ActorCount = 1001;
    static constexpr int HotSpotCount = 5;
    // Local variables a sprite read from a file may have; real sprites have a
    // handful, and each one costs a whole Variable.
    static constexpr std::int32_t MaxLocalVariables = 1024;

    // --- construction, copying, pooling ---
    Sprite();
    Sprite(const Sprite& other);
    explicit Sprite(Sprite* other);
    ~Sprite() override;
    Sprite& operator=(const Sprite& source);

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);
    static node* CreateObject();
    static CREATE cr;

    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override { return "Sprite"; }

    // A copy added to the current level (not a main character); null when
    // the level refuses it.
    Sprite* CreateSprite();

    // --- lookup ---
    static Sprite* Search(const char* name);
    static Sprite* Search(const int id);
    void Use(const char* name);

    // --- local variables and data ---
    void VariableNumber(int n);
    int VariableNumber() const { return variableNumber; }
    void AddLocalVariable(unsigned int index);
    node* LocalData() const { return localVariable; }
    std::int32_t LocalDataIndex() const { return localDataIndex; }

    // --- remote input: another player's keys and mouse, applied once a frame ---
    // Network thread: appends the record; the queue takes over its data.
    void AddToQ(_NETMSGQ& message);
    // Main thread, once a frame: applies and frees the queued records, then
    // advances the key and button states.
    void HandleQ();
    void ClearQ();
    bool IsActiveNetworkPlayer() const { return networkPlayer && networkActive; }
    void Keyboard_Reset();
    void Mouse_Reset();
    bool Keyboard_IsPressed(unsigned char key) const;
    bool Keyboard_IsNotPressed(unsigned char key) const;
    bool Keyboard_IsTriggered(unsigned char key) const;
    bool Keyboard_IsNotTriggered(unsigned char key) const;
    unsigned int Keyboard_TapCounter(unsigned char key);
    unsigned int Keyboard_HoldCounter(unsigned char key) const;
    bool Keyboard_Nothing() const;
    bool Keyboard_Any() const;
    bool Keyboard_GetKey(unsigned char& key) const;
    // Buttons 0 to 2; any other button is never pressed nor triggered.
    bool Mouse_IsPressed(unsigned char button) const;
    bool Mouse_IsNotPressed(unsigned char button) const;
    bool Mouse_IsTriggered(unsigned char button) const;
    bool Mouse_IsNotTriggered(unsigned char button) const;
    bool Mouse_IsDoubleClicked(unsigned char button) const;
    unsigned int Mouse_TapCounter(unsigned char button);
    unsigned int Mouse_HoldCounter(unsigned char button) const;
    bool Mouse_Nothing() const;
    bool Mouse_Any() const;
    bool Mouse_GetKey(unsigned char& button) const;
    bool Mouse_IsMoving() const;
    int Mouse_RelX() const;
    int Mouse_RelY() const;
    int Mouse_Wheel() const;
    int Mouse_ViewportX() const { return mouseX; }
    int Mouse_ViewportY() const { return mouseY; }
    int Mouse_WorldX() const { return mouseWorldX; }
    int Mouse_WorldY() const { return mouseWorldY; }
    bool Mouse_InRect(QelRect* r) const;
    // Records kept for a sprite whose queue is not being handled (a paused
    // or parked player); beyond it the oldest go.
    static constexpr std::size_t MaxQueuedRecords = 1024;

    // --- plain properties ---
    // A reference, so that look-ups by name compare in place.
    const String& Name() const { return name; }
    void Name(const char* text);
    int Id() const { return id; }
    void Id(int n) { id = n; }
    bool Visible() const { return visible; }
    void Visible(bool on) { visible = on; }
    void Visible(const char* spriteName, bool on);
    bool DeleteFlag() const { return deleteFlag; }
    void DeleteFlag(bool on) { deleteFlag = on; }
    float Speed() const { return speed; }
    void Speed(float v);
    float TranslationX() const { return translationX; }
    float TranslationY() const { return translationY; }
    float ScaleX() const { return scaleX; }
    void ScaleX(float v) { scaleX = v; }
    float ScaleY() const { return scaleY; }
    void ScaleY(float v) { scaleY = v; }
    unsigned int ZOrder() const { return zOrder; }
    void ZOrder(unsigned int z) { zOrder = z; }
    unsigned int SortedZOrder() const { return sortedZOrder; }
    void SortedZOrder(unsigned int z) { sortedZOrder = z; }
    bool Canned() const { return canned; }
    void Canned(bool on) { canned = on; }
    bool Pause() const { return pause; }
    void Pause(bool on) { pause = on; }
    bool MainCharacter() const { return mainCharacter; }
    void MainCharacter(bool on) { mainCharacter = on; }
    bool Unused() const { return unused; }
    void Unused(bool on);
    int DisplayListNumber() const { return displayListNumber; }
    void DisplayListNumber(int n) { displayListNumber = n; }
    bool CollisionWithMap() const { return collisionWithMap; }
    void CollisionWithMap(bool on) { collisionWithMap = on; }
    void ResetMapCollisionFlag() { collisionWithMap = false; }
    int AlarmMaximum() const { return alarmMaximum; }
    void AlarmMaximum(int n) { alarmMaximum = n > 0 ? n : 0; }
    int AlarmCount() const { return alarmCount; }

    // --- placement ---
    float LeftPosition() const { return mapX; }
    float TopPosition() const { return mapY; }
    float MapPositionX() const;
    float MapPositionY() const;
    float WorldPositionX() const;
    float WorldPositionY() const;
    int ViewportX() const;
    int ViewportY() const;
    void MapPositionX(float x, bool displacement);
    void MapPositionY(float y, bool displacement);
    void MapPosition(float x, float y, bool displacement);
    void WorldPositionX(float x, bool displacement);
    void WorldPositionY(float y, bool displacement);
    void WorldPosition(float x, float y, bool displacement);
    void MapPositionXInc(float dx, float limit, bool displacement);
    void MapPositionXDec(float dx, float limit, bool displacement);
    void MapPositionYInc(float dy, float limit, bool displacement);
    void MapPositionYDec(float dy, float limit, bool displacement);
    void WorldPositionXInc(float dx, float limit, bool displacement);
    void WorldPositionXDec(float dx, float limit, bool displacement);
    void WorldPositionYInc(float dy, float limit, bool displacement);
    void WorldPositionYDec(float dy, float limit, bool displacement);
    void MainCharWorldPosition(float x, float y);

    // --- map, alarms, path states ---
    const char* BelongToMap() const;
    void BelongToMap(const char* mapName);
    Map* BelongToMapPtr() const { return map; }
    void BelongToMapPtr(Map* m);
    bool AddAlarm(const char* alarmName);
    void ChangePathState(unsigned int n);
    unsigned int NearestStationNumber(bool useTraverser);

    // --- movement patterns ---
    void ApplyMovementPattern(int i);
    void StartMovementPattern(bool loop, bool backToStart);
    void StartMovementPattern(bool loop);
    void StopMovementPattern();
    bool ApplyingMovementPattern() const { return patternStep != -1; }
    bool EndOfMovementPattern() const;
    const char* MovementPatternName() const;
    void MovementPatternLoop(bool on) { movementPatternLoop = on; }
    bool MovementPatternLoop() const { return movementPatternLoop; }
    void ShowMovementPattern(bool on) { showMovementPattern = on; }
    bool ShowMovementPattern() const { return showMovementPattern; }
    void UpdateMovementPattern();
    void DisplayPattern(bool, unsigned long colour);

    // --- path state machines ---
    void ApplyPathStateMachine(unsigned int i);
    void ShortestPath(unsigned int station);
    void StopShortestPath();
    bool EndOfShortestPath();
    void EnablePath(bool on);
    bool EnablePath() const;
    void ShowPath(bool on) { showPath = on; }
    bool ShowPath() const { return showPath; }
    void DisplayPath(bool show, unsigned long colour);
    bool CollisionWithPath() const { return collisionWithPath; }
    void UpdatePSM();
    bool TestPSMCollision();
    PathStateMachineTraverser* Traverser() const { return traverser; }

    // --- rays and path following ---
    static QelPoint RayViewportDest(float x, float y, float dx, float dy);
    Sprite* SpriteToSpriteRay(unsigned int hotPoint, float dx, float dy, unsigned int id, bool show, COLORREF colour);
    bool SpriteToMapRay(unsigned int hotPoint, float dx, float dy, unsigned int id, bool show, COLORREF colour);
    void FollowPathRight(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour);
    void FollowPathLeft(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour);
    void FollowPathUp(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour);
    void FollowPathDown(unsigned int id, unsigned int ray, unsigned int hotPoint, bool show, COLORREF colour);

    // --- animation ---
    void UpdateAnimation();
    void Animation(int n);
    int Animation() const { return displayedAnimation < 0 ? 0 : displayedAnimation; }
    void Frame(int n);
    int Frame() const { return currentFrame; }
    void ActorIndex(int n);
    int ActorIndex() const { return actorIndex; }
    bool EndOfAnimation(int n);
    int TotalAnimations() const;
    int TotalFrames() const;
    unsigned int Delay() const { return delayCount; }
    void Delay(unsigned int d) { delayCount = d; }
    int RequestedAnimation() const { return requestedAnimation; }
    void ChangeSFX(int n, const char* soundName);
    void DeleteSFX(int n);
    void AnimationLoopSFX(int n, bool loop);
    void AnimationSoundStatus(int n, bool on);

    // --- flips ---
    void HFlip(bool on) { requestedHFlip = on; }
    void VFlip(bool on) { requestedVFlip = on; }
    int HFlip() const { return currentHFlip ? 1 : 0; }
    int VFlip() const { return currentVFlip ? 1 : 0; }
    void AutoFlip(bool on) { autoFlip = on; }
    bool AutoFlip() const { return autoFlip; }
    bool SameHFlip(Sprite* other);
    bool SameVFlip(Sprite* other);
    void FlipSet();
    void HandleLastFlipPR();

    // --- peg registration ---
    void PegRegistered(bool on);
    bool PegRegistered() const { return pegRegistered; }
    void PegRegistered(int);
    void MapPositionForPGX(float x);
    void MapPositionForPGY(float y);

    // --- drawing and frame geometry ---
    void DisplaySprite();
    void ShowSpriteCollision(unsigned long colour);
    void ShowSpriteCollision(bool on) { showSpriteCollision = on; }
    void ShowSpriteBoundingBox(unsigned long colour);
    void ShowSpriteBoundingBox(bool on) { showSpriteBoundingBox = on; }
    void ShowVectorOfTranslation(unsigned long colour);
    void ShowVectorOfTranslation(bool on) { showVectorOfTranslation = on; }
    bool InViewport() const;
    bool InWorld() const;
    int Width() const;
    int Height() const;
    int FrameCenterX() const;
    int FrameCenterY() const;
    float HotSpotX(int n);
    float HotSpotY(int n);
    QelPoint HotSpot(unsigned int n);

    // --- motion ---
    void VectorDirection(float dx, float dy, unsigned int smooth);
    float VectorAngle() const;
    void VectorAngle(float angle, float smooth);
    float DirectionX() const { return directionX; }
    float DirectionY() const { return directionY; }
    unsigned int CannedDirection() const;
    void CannedDirection(unsigned int d);
    bool CannedHDirection() const { return cannedHDirection; }
    void CannedHDirection(bool on) { cannedHDirection = on; }
    bool CannedVDirection() const { return cannedVDirection; }
    void CannedVDirection(bool on) { cannedVDirection = on; }
    bool DoNotCutDirection() const { return doNotCutDirection; }
    void DoNotCutDirection(bool on) { doNotCutDirection = on; }
    bool Gravity() const { return gravity; }
    void Gravity(bool on, float percent);
    float GravityFriction() const { return gravityFriction; }
    void GravityFriction(float percent);
    void Friction(float percent);
    float Friction() const { return friction; }
    bool Reflection() const { return reflection; }
    void Reflection(bool on) { reflection = on; }
    bool CollisionType() const { return collisionType; }
    void CollisionType(bool byBox) { collisionType = byBox; }
    float CollisionFactor() const { return collisionFactor; }
    void CollisionFactor(float f) { collisionFactor = f; }
    const CollisionSegment& LastHitSegment() const { return lastHitSegment; }
    void LastHitSegment(const CollisionSegment& s) { lastHitSegment = s; }

    // Steps of one frame, in the frame step's order.
    void GetTranslation();
    void FrictionFactor();
    void GravityFactor();
    void CannedFactor();
    void UpdateTranslation();
    void UpdateSprite();
    void reflect(float nx, float ny);

    // --- steering and relative positions ---
    void SpeedInc(float d, float max);
    void SpeedDec(float d, float min);
    bool SpeedGreater(float v) const { return speed > v; }
    bool SpeedGreaterEqual(float v) const { return speed >= v; }
    bool SpeedLess(float v) const { return speed < v; }
    bool SpeedLessEqual(float v) const { return speed <= v; }
    float SpeedX() const { return speed; }
    float SpeedY() const { return speed; }
    void SpeedX(float v) { Speed(v); }
    void SpeedY(float v) { Speed(v); }
    void SpeedXInc(float d, float max) { SpeedInc(d, max); }
    void SpeedYInc(float d, float max) { SpeedInc(d, max); }
    void SpeedXDec(float d, float min) { SpeedDec(d, min); }
    void SpeedYDec(float d, float min) { SpeedDec(d, min); }
    void Follow(Sprite* target, unsigned int myHot, unsigned int targetHot, unsigned int smooth);
    void Follow(const String targetName, unsigned int myHot, unsigned int targetHot, unsigned int smooth);
    float Distance(Sprite* other);
    float DistanceX(Sprite* other);
    float DistanceY(Sprite* other);
    float DifferenceX(Sprite* other);
    float DifferenceY(Sprite* other);
    bool Left(Sprite* other);
    bool Right(Sprite* other);
    bool Up(Sprite* other);
    bool Down(Sprite* other);

    // --- collision with maps, alarms and other sprites, and look-ahead probes ---
    void HandleAlarms();
    void CheckMapCollision(Map* map);
    void CheckSpriteCollision(Sprite* other);
    bool CollisionWithMap(int id);
    bool Collision(int id);
    bool OwnerCollisionDataFlagBit(unsigned int n);
    bool SpriteCollisionDataFlagBit(unsigned int n);
    bool MapCollisionDataFlagBit(unsigned int n);
    bool CollisionWithSprite(const char* name);
    Sprite* CollisionWithSpritePtr(const char* name);
    bool CollisionWithSprite(int id);
    bool LookAheadCollisionWithMap(unsigned int direction, unsigned int distance, int id);
    Sprite* LookAheadCollisionWithSprite(unsigned int direction, unsigned int distance, const char* name);
    bool LookAheadCollision(unsigned int direction, unsigned int distance, unsigned int what);
    bool TempCheckCollisionWithMap(float dx, float dy, float vx, float vy);
    bool TempCheckCollisionWithMap(float dx, float dy, float vx, float vy, int id);
    Sprite* TempCheckCollisionWithSprite(float dx, float dy, float vx, float vy, const char* name);

    // --- collision switches ---
    bool CheckCollisionWithMap() const { return checkCollisionWithMap; }
    void CheckCollisionWithMap(bool on) { checkCollisionWithMap = on; }
    bool CheckCollisionWithSprite() const { return checkCollisionWithSprite; }
    void CheckCollisionWithSprite(bool on) { checkCollisionWithSprite = on; }
    bool ActivateCollisionWithSprite() const { return activateCollisionWithSprite; }
    void ActivateCollisionWithSprite(bool on) { activateCollisionWithSprite = on; }
    bool CheckSameDisplayList() const { return checkSameDisplayList; }
    void CheckSameDisplayList(bool on) { checkSameDisplayList = on; }
    bool GhostCollisionWithSprite() const { return ghostCollisionWithSprite; }
    void GhostCollisionWithSprite(bool on) { ghostCollisionWithSprite = on; }
    bool GhostCollisionWithMap() const { return ghostCollisionWithMap; }
    void GhostCollisionWithMap(bool on) { ghostCollisionWithMap = on; }
    // Both ghost switches at once; true when either is set.
    bool GhostCollision() const { return ghostCollisionWithMap || ghostCollisionWithSprite; }
    void GhostCollision(bool on) { ghostCollisionWithMap = ghostCollisionWithSprite = on; }
    // Another name for the same-display-list switch, stored once.
    bool CheckSameType() const { return checkSameDisplayList; }
    void CheckSameType(bool on) { checkSameDisplayList = on; }

    // --- what the frame step uses besides the steps above ---
    // The viewport position from the map position (parked and paused sprites).
    void UpdateViewportPosition();
    // The per-frame collision state back to "nothing hit"; the hit lists only
    // when hitLists is set (the cursor keeps them after its first map).
    void ResetCollisionState(bool hitLists);
    // After drawing: a pending one-frame displacement ends.
    void EndDisplacement();
    bool DisplacementPending() const { return displacementPending; }
    // Removes the sprite from the level's list that holds it and destroys it,
    // after clearing every pointer to it that the level keeps (alarm
    // triggers, other sprites' hit lists, the main character). Answers the
    // node that followed it.
    node* RemoveFrom(List& displayList);
    // Nulls every pointer to this sprite held by the level's other sprites
    // and by the engine.
    void ForgetReferences();

    // The frame shown (displayed animation) and the frame asked for
    // (requested animation), or null when the actor has no such frame.
    const FrameElem* DisplayedFrame() const;
    const FrameElem* RequestedFrame() const;

    // --- fields read and written by the game program and the engine's
    // behaviours, patterns and collision code ---
    Behavior behavior;
    Array<Variable> localVariables;
    Array<Alarm*> alarms;
    // Per-frame collision state.
    Array<String> spriteNamesHit;
    Array<Sprite*> spritesHit;
    Array<CollisionData*> ownShapesHit;
    Array<CollisionData*> mapShapesHit;
    Array<CollisionData*> otherShapesHit;
    CollisionSegment lastHitSegment;
    float collisionFactor = 1.5f;
    bool collisionWithMap = false;

    // Path following and path state machines.
    node* followedSegment = nullptr;
    std::int32_t followDirection = -1;
    PathStateMachineTraverser* traverser = nullptr;  // owned
    bool gateWait = false;
    bool collisionWithPath = false;
    std::int32_t psmCounter = 0;

    // Movement pattern.
    std::int32_t patternIndex = -1;
    MovementPattern* pattern = nullptr;
    float patternValues[4] = {0, 0, 0, 0};
    float patternDistance = 0;
    std::int32_t patternStep = -1;
    bool movementPatternLoop = false;
    bool patternBackToStart = false;
    float patternStartX = 0;
    float patternStartY = 0;

    // Remote-player input.
    bool networkPlayer = false;
    bool networkActive = false;
    KeyState keys[256];
    KeyState mouseButtons[3];
    std::int32_t mouseX = 0, mouseY = 0, mouseWorldX = 0, mouseWorldY = 0;
    std::int32_t mouseRelX = 0, mouseRelY = 0, mouseWheel = 0;
    bool remoteFlags[3] = {false, false, false};  // moved in x, moved in y, wheel moved
    bool doubleClicked[3] = {false, false, false};
    std::uint32_t remoteFrameCounter = 0;
    std::uint32_t lastClick[3] = {0, 0, 0};  // frame of a first click, 0 = none
    std::deque<_NETMSGQ> inputQueue;

    // Motion.
    float mapX = 0, mapY = 0;
    std::int32_t viewportX = 0, viewportY = 0;
    float translationX = 0, translationY = 0;
    float speed = 0;
    float directionX = 0, directionY = 0;

    // The sprite's entry in the collision grid (SpriteBroadPhase), -1 before
    // the grid first lists it; the engine's own, never copied or saved.
    std::int32_t broadPhaseSlot = -1;

private:
    friend class SpritePTR;
    struct Geometry;
    void DefaultFields();
    void CopyFrom(const Sprite& source);
    void ClearInputQueue();
    void ClearRemoteInput();
    void ReleaseLoadedShapes();
    const FrameElem* FrameOf(int animation) const;
    const AnimationElem* AnimationOf(int animation) const;
    bool CheckAnimationIndex(int n, const char* target);
    float MapWorldX() const;
    float MapWorldY() const;
    void RecomputeViewportX();
    void RecomputeViewportY();
    void PendDisplacement(float dx, float dy);
    void StoreX(float x, bool displacement);
    void StoreY(float y, bool displacement);
    void ClampedMove(float& stored, float& pending, float d, float limit, bool displacement, bool increase,
                     float offset);
    void ClampedX(float dx, float limit, bool displacement, bool increase, float offset);
    void ClampedY(float dy, float limit, bool displacement, bool increase, float offset);
    void MoveForPegFlip(bool withTranslation);
    void ScrollAsMainCharacter();
    void Bounce();
    void PlayAnimationSound(const AnimationElem& animation);
    QelPoint HotPoint(int n, const char* target) const;
    bool RelativePoints(Sprite* other, const char* message, const char* target, float& dx, float& dy);
    void FollowReporting(Sprite* target, unsigned int myHot, unsigned int targetHot, unsigned int smooth,
                         const char* where);
    void DrawFrame(const FrameElem& frame);
    // Every field of the saved record, in file order, for saving, loading and
    // copying alike (see foundation/FieldWalk.h).
    template <class Walk, class... Self>
    static void Fields(Walk& walk, Self&... self);
    void SaveShapes(File& file, Array<CollisionData*>& shapes);
    bool LoadShapes(File& file, Array<CollisionData*>& shapes);
    bool LoadChecked(File& file);
    // The shared body of the four path followers.
    struct Follower;
    void FollowPath(const Follower& how, unsigned int id, unsigned int ray, unsigned int hotPoint, bool show,
                    COLORREF colour);
    // The ray's start: hot point n of the requested frame at the stored map position.
    bool RayStart(unsigned int n, float& hx, float& hy) const;

    std::int32_t id = 0;
    Map* map = nullptr;
    String name;
    float scaleX = 1.0f, scaleY = 1.0f;
    float collisionFloat = 0;
    std::uint32_t sortedZOrder = 0;
    std::uint32_t zOrder = 0;
    std::int32_t displayListNumber = 0;
    bool visible = true;
    bool mainCharacter = false;
    bool deleteFlag = false;
    bool unused = false;
    bool pause = false;

    std::int32_t actorIndex = 0;
    std::int32_t requestedAnimation = 0;
    std::int32_t previousAnimation = 0;
    std::int32_t displayedAnimation = 0;
    std::int32_t currentFrame = 0;
    std::uint32_t delayCount = 0;
    bool currentHFlip = false, currentVFlip = false;
    bool requestedHFlip = false, requestedVFlip = false;
    bool lastHFlip = false, lastVFlip = false;
    bool flipCodeReady = false;
    bool autoFlip = true;
    std::int32_t lastFlipCode = 0, newFlipCode = 0;
    bool pegRegistered = false;
    std::int32_t lastPegFrame = -1;
    bool soundOnce = true;
    bool showSpriteCollision = false;
    bool showSpriteBoundingBox = false;
    bool showVectorOfTranslation = false;
    bool showPath = false;
    bool showMovementPattern = false;

    float friction = 0;
    bool canned = false;
    float cannedFactorX = 1.0f, cannedFactorY = 1.0f;
    bool cannedHDirection = true, cannedVDirection = true;
    bool doNotCutDirection = false;
    bool reflection = false;
    bool gravity = false;
    float g = 0.928f;
    float arcStartSpeed = 0, arcStartX = 0, arcStartY = 0;
    float arcStartDirectionX = 0, arcStartDirectionY = 0;
    std::int32_t arcFrameCount = 0;
    float impactSpeed = 0;
    float gravityFriction = 0;
    bool displacementPending = false;
    float savedSpeed = 0, displacementX = 0, displacementY = 0;

    bool checkCollisionWithMap = false;
    bool checkCollisionWithSprite = false;
    bool activateCollisionWithSprite = false;
    bool checkSameDisplayList = false;
    bool ghostCollisionWithSprite = false;
    bool ghostCollisionWithMap = false;
    bool collisionType = true;
    std::int32_t alarmCount = 0;
    std::int32_t alarmMaximum = 512;

    std::int32_t variableNumber = 0;
    std::int32_t localDataIndex = -1;
};
