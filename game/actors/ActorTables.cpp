// The game's five actor-table builders. Each fills slots of the engine's actor
// table, which the engine has emptied beforehand and owns from then on. Every
// animation of every table is a single still frame.
#include <cstdint>
#include <span>

#include "foundation/FatalExit.h"
#include "foundation/String.h"
#include "foundation/Types.h"
#include "logic/GameDeclarations.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteList.h"
#include "world/CollisionSegment.h"

namespace {

// The frame values that differ between frames; canned steps, flips, the
// reserved field and peg registration are the same in every table, and the
// bounding box always covers the whole picture.
struct FrameSpec {
    const char* fileName;
    std::uint32_t delay;
    std::int32_t width;
    std::int32_t height;
    COLORREF transparentColor;
    std::int32_t hotSpotX;
    std::int32_t hotSpotY;
    float centerX;
    float centerY;
    bool useColorKey;
    // The protagonist's collision box, whose bottom edge tells the player logic
    // that it stands on something.
    bool collisionBox;
};

constexpr COLORREF Magenta = 0xDC00FF;
constexpr COLORREF LightGrey = 0xF0F0F0;
constexpr COLORREF Black = 0x000000;

// The protagonist: five colour variants that the player's shots cycle through, a
// plain still for the menu and the interludes (no box, quick delay), and a
// sixth colour requested by the finale levels.
constexpr FrameSpec Protagonist[] = {
    {"protag.bmp", 55, 32, 32, Magenta, 8, 8, 16.0f, 16.0f, true, true},
    {"protagg.bmp", 55, 32, 32, Magenta, 8, 8, 16.0f, 16.0f, true, true},
    {"protagy.bmp", 55, 32, 32, Magenta, 8, 8, 16.0f, 16.0f, true, true},
    {"protagm.bmp", 55, 32, 32, Magenta, 8, 8, 16.0f, 16.0f, true, true},
    {"protagb.bmp", 55, 32, 32, Magenta, 8, 8, 16.0f, 16.0f, true, true},
    {"protag.bmp", 1, 32, 32, Magenta, 16, 16, 16.0f, 16.0f, true, false},
    {"protagr.bmp", 55, 32, 32, Magenta, 8, 8, 16.0f, 16.0f, true, true},
};

constexpr FrameSpec Projectile[] = {
    {"projectile.bmp", 1, 16, 16, Magenta, 8, 8, 8.0f, 8.0f, true, false},
};

constexpr FrameSpec Goal[] = {
    {"goal.bmp", 1, 70, 70, LightGrey, 35, 35, 35.0f, 35.0f, false, false},
};

// Pictures of the levels' helper sprites and of the menu's cursor. The wide
// obstacle keeps its registration point 16 pixels in, not at its middle.
constexpr FrameSpec Utility[] = {
    {"clear.bmp", 1, 32, 32, Magenta, 16, 16, 16.0f, 16.0f, true, false},
    {"camera.bmp", 1, 32, 32, Magenta, 16, 16, 16.0f, 16.0f, true, false},
    {"clearObst.bmp", 1, 45, 32, Magenta, 16, 16, 16.0f, 16.0f, true, false},
    {"clearObstWhite.bmp", 1, 32, 32, Magenta, 16, 16, 16.0f, 16.0f, true, false},
    {"decider.bmp", 1, 32, 32, Magenta, 16, 16, 16.0f, 16.0f, true, false},
};

constexpr FrameSpec TitlePicture[] = {
    {"titlescreen.bmp", 1, 640, 480, LightGrey, 320, 240, 320.0f, 240.0f, false, false},
};

// One-pixel strips that Level_31 stacks into a band, one step per goal hit; the
// last step shows the final picture again with its black pixels left out.
constexpr FrameSpec Gradient[] = {
    {"gradient1.bmp", 1, 5000, 1, LightGrey, 2500, 0, 2500.0f, 0.0f, false, false},
    {"gradient2.bmp", 1, 5000, 1, LightGrey, 2500, 0, 2500.0f, 0.0f, false, false},
    {"gradient3.bmp", 1, 5000, 1, LightGrey, 2500, 0, 2500.0f, 0.0f, false, false},
    {"gradient4.bmp", 1, 5000, 1, LightGrey, 2500, 0, 2500.0f, 0.0f, false, false},
    {"gradient5.bmp", 1, 5000, 1, LightGrey, 2500, 0, 2500.0f, 0.0f, false, false},
    {"gradient6.bmp", 1, 5000, 1, LightGrey, 2500, 0, 2500.0f, 0.0f, false, false},
    {"gradient6.bmp", 1, 5000, 1, Black, 2500, 0, 2500.0f, 0.0f, true, false},
};

constexpr FrameSpec Credits[] = {
    {"credits.bmp", 1, 640, 480, Magenta, 320, 240, 320.0f, 240.0f, true, false},
};

enum ActorSlot {
    ProtagonistSlot = 0,
    ProjectileSlot = 1,
    GoalSlot = 2,
    UtilitySlot = 3,
    TitleSlot = 4,
    GradientSlot = 5,
    CreditsSlot = 6
};

// A table missing an array would send the engine through a null pointer when it
// walks the slot by its count, so running out of memory here ends the game.
[[noreturn]] void OutOfMemory() { FatalExit("Not enough memory to build the actor table."); }

tagRECT WholePicture(std::int32_t width, std::int32_t height) {
    tagRECT box;
    box.left = 0;
    box.top = 0;
    box.right = width - 1;
    box.bottom = height - 1;
    return box;
}

// Runs around the 32 x 32 protagonist one pixel inside its sides and two inside
// its top and bottom, counter-clockwise on screen so every normal faces out.
// Only the bottom edge carries collision ID 1: the feet.
void AddCollisionBox(FrameElem& frame) {
    frame.AddCollisionData(CollisionSegment(30.0f, 2.0f, 1.0f, 2.0f, 0, 0, 0));
    frame.AddCollisionData(CollisionSegment(1.0f, 2.0f, 1.0f, 29.0f, 0, 0, 0));
    frame.AddCollisionData(CollisionSegment(1.0f, 29.0f, 30.0f, 29.0f, 1, 0, 0));
    frame.AddCollisionData(CollisionSegment(30.0f, 29.0f, 30.0f, 2.0f, 0, 0, 0));
}

// Fields in one fixed order; the shapes come last, once the frame is complete.
void FillFrame(FrameElem& frame, const FrameSpec& spec) {
    frame.FileName = String(spec.fileName);
    frame.CannedX = 0.0f;
    frame.CannedY = 0.0f;
    frame.Delay = spec.delay;
    frame.Width = spec.width;
    frame.Height = spec.height;
    frame.TransparentColor = spec.transparentColor;
    frame.HasHFlip = false;
    frame.HasVFlip = false;
    frame.Reserved = 0;
    frame.HotSpots[0].x = spec.hotSpotX;
    frame.HotSpots[0].y = spec.hotSpotY;
    frame.Box = WholePicture(spec.width, spec.height);
    frame.CenterX = spec.centerX;
    frame.CenterY = spec.centerY;
    frame.PegFrame = false;
    frame.UseColorKey = spec.useColorKey;
    if (spec.collisionBox) AddCollisionBox(frame);
}

// An array is stored together with its count, so a count never stands beside a
// missing array, even when filling a frame throws half-way.
void FillAnimation(AnimationElem& animation, const FrameSpec& spec) {
    FrameElem* frames = new FrameElem[1];
    if (!frames) OutOfMemory();
    animation.Frames = frames;
    animation.FrameCount = 1;
    animation.LoopFrame = 0;
    FillFrame(frames[0], spec);
}

void FillSlot(int slotIndex, std::span<const FrameSpec> animationFrames) {
    const auto count = std::int32_t(animationFrames.size());
    AnimationElem* animations = new AnimationElem[count];
    if (!animations) OutOfMemory();
    SpriteElem& slot = SpriteList[slotIndex];
    slot.Animations = animations;
    slot.AnimationCount = count;
    for (std::int32_t a = 0; a < count; ++a) FillAnimation(animations[a], animationFrames[a]);
}

void FillStandardSlots() {
    FillSlot(ProtagonistSlot, Protagonist);
    FillSlot(ProjectileSlot, Projectile);
    FillSlot(GoalSlot, Goal);
    FillSlot(UtilitySlot, Utility);
}

}  // namespace

void BuildStandardActors(GameNode*) { FillStandardSlots(); }

void BuildMenuActors(GameNode*) {
    FillSlot(ProtagonistSlot, Protagonist);
    FillSlot(UtilitySlot, Utility);
    FillSlot(TitleSlot, TitlePicture);
}

void BuildInterludeActors(GameNode*) { FillSlot(ProtagonistSlot, Protagonist); }

void BuildLevel31Actors(GameNode*) {
    FillStandardSlots();
    FillSlot(GradientSlot, Gradient);
}

void BuildLevel40Actors(GameNode*) {
    FillStandardSlots();
    FillSlot(CreditsSlot, Credits);
}
