// The camera of a level: the world's size, the part of it on screen and the
// scrolling box inside which the main character moves before the view scrolls.
// Scrolling is two-phase: Scroll writes the next position and delta, and the
// frame step commits them at the end of the frame (Commit).
#pragma once
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/Types.h"

// A scroll or offset applied to the view, in pixels.
struct ScrollDelta {
    float x = 0;
    float y = 0;
};

class QEL_API ViewPort : public node {
public:
    ViewPort(float worldWidth, float worldHeight, float worldX, float worldY, float width, float height);
    ~ViewPort() override;

    static node* CreateObject();
    static CREATE cr;

    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override { return "ViewPort"; }

    float WorldWidth() const { return worldWidth; }
    float WorldHeight() const { return worldHeight; }
    float Width() const { return rect.right; }
    float Height() const { return rect.bottom; }
    float WorldXPos() const { return worldRect.left; }
    float WorldYPos() const { return worldRect.top; }
    float WorldRightPos() const { return worldRect.right; }
    float WorldBottomPos() const { return worldRect.bottom; }
    float MaxViewPortWorldXPos() const { return maxWorldX; }
    float MaxViewPortWorldYPos() const { return maxWorldY; }
    FRECT WorldRect() const { return worldRect; }
    FRECT Rect() const { return rect; }
    // {left, top, right, bottom}, each truncated toward zero.
    QelRect IntWorldRect() const;

    void WorldWidth(float w);
    void WorldHeight(float h);
    void ViewPortWidth(float w);
    void ViewPortHeight(float h);
    // Moves the view at once (no clamp); the next position follows.
    void WorldXPos(float x);
    void WorldYPos(float y);

    // Clamped to [0, maximum]; answers the applied delta, which becomes the next delta.
    ScrollDelta Scroll(float dx, float dy);
    ScrollDelta CurrentDeltaScroll() const { return {currentDeltaX, currentDeltaY}; }
    ScrollDelta NextDeltaScroll() const { return {nextDeltaX, nextDeltaY}; }
    // Moves the view at once, clamped at the maximum only; the main character
    // keeps its place on screen when asked. The deltas stay.
    ScrollDelta Offset(float dx, float dy, bool moveMainCharacter);
    // The frame step's end: the next position and delta become current.
    void Commit();

    // The hook that moves the main character's map position with Offset; set
    // by the sprites module. Null means there is no main character.
    using MoveMainCharacterFn = void (*)(float dx, float dy);
    static void SetMainCharacterMover(MoveMainCharacterFn fn);

    // Scrolling box, in screen coordinates.
    void ViewPortScrollingBB(float x, float y, float width, float height);
    float BBWidth() const { return box.right - box.left; }
    float BBHeigth() const { return box.bottom - box.top; }
    float BBViewPortXPos() const { return box.left; }
    float BBViewPortYPos() const { return box.top; }
    float BBViewPortRightPos() const { return box.right; }
    float BBViewPortBottomPos() const { return box.bottom; }
    FRECT BBViewPortRect() const { return box; }
    float BBWorldXPos() const { return worldRect.left + box.left; }
    float BBWorldYPos() const { return worldRect.top + box.top; }
    // Adds the box's right to the world rectangle's right (not to its left).
    float BBWorldRightPos() const { return worldRect.right + box.right; }
    float BBWorldBottomPos() const { return worldRect.bottom + box.bottom; }
    FRECT BBWorldRect() const;
    FRECT InitialBBClone() const { return initialBox; }
    void RestoreBB() { box = initialBox; }
    void OffsetVPSBB(float dx, float dy);

    void MaxInflateBBRight(float v) { maxInflateRight = v; }
    void MaxInflateBBLeft(float v) { maxInflateLeft = v; }
    void MaxInflateBBTop(float v) { maxInflateTop = v; }
    void MaxInflateBBBottom(float v) { maxInflateBottom = v; }
    float MaxInflateBBRight() const { return maxInflateRight; }
    float MaxInflateBBLeft() const { return maxInflateLeft; }
    float MaxInflateBBTop() const { return maxInflateTop; }
    float MaxInflateBBBottom() const { return maxInflateBottom; }
    // Each moves its side outward by d within [-max, max] of its initial place
    // and answers the change of its inflation.
    float InflateBBRight(float d);
    float InflateBBLeft(float d);
    float InflateBBTop(float d);
    float InflateBBBottom(float d);

    // Draws the box on the back buffer in black.
    void DisplayBB();

private:
    float worldWidth, worldHeight;
    float maxWorldX, maxWorldY;
    FRECT rect;
    FRECT worldRect;
    FRECT nextWorldRect;
    FRECT box;
    FRECT initialBox;
    float maxInflateRight = 0, maxInflateLeft = 0, maxInflateTop = 0, maxInflateBottom = 0;
    float inflateRight = 0, inflateLeft = 0, inflateTop = 0, inflateBottom = 0;
    float currentDeltaX = 0, currentDeltaY = 0;
    float nextDeltaX = 0, nextDeltaY = 0;
};
