// The level file's first part: the actors of the level, each slot of the actor
// table filled with its animations, their sounds and their frames.
#include <memory>

#include "display/SurfaceLoadingInternal.h"
#include "foundation/FatalExit.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameFileLoadersInternal.h"
#include "runtime/GameNode.h"
#include "sound/LevelSounds.h"
#include "sound/Sound.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteList.h"

namespace gamefile {

namespace {

using namespace stored;

// The smallest stored size of each record, for checking counts against the data.
// An actor or animation with nothing in it is its two counts.
constexpr long ActorBytes = 2 * Int;
constexpr long AnimationBytes = 2 * Int;
constexpr long FrameBytes = EmptyText + 2 * Float + 4 * Int + 2 * Bool + Int  // bitmap to reserved
                            + 10 * Int + Rect + 2 * Float + 2 * Bool + EmptyShapes;

struct DeleteAnimations {
    void operator()(AnimationElem* p) const { delete[] p; }
};
using Animations = std::unique_ptr<AnimationElem[], DeleteAnimations>;

void ReadFrame(Reader& r, FrameElem& frame) {
    frame.FileName = r.FileName();
    frame.CannedX = r.Float();
    frame.CannedY = r.Float();
    frame.Delay = r.UInt();
    frame.Width = r.Int();
    frame.Height = r.Int();
    frame.TransparentColor = r.UInt();
    frame.HasHFlip = r.Bool();
    frame.HasVFlip = r.Bool();
    frame.Reserved = r.Int();
    for (QelPoint& hot : frame.HotSpots) {
        hot.x = r.Int();
        hot.y = r.Int();
    }
    const QelRect box = r.Rect();
    frame.Box = tagRECT{box.left, box.top, box.right, box.bottom};
    frame.CenterX = r.Float();
    frame.CenterY = r.Float();
    frame.PegFrame = r.Bool();
    frame.UseColorKey = r.Bool();
    r.Shapes(frame);
    if (r.Ok() && !frame.GeometryFits())
        r.Fail("the frame %s has a size, box or hot spot beyond %d pixels", static_cast<const char*>(frame.FileName),
               FrameElem::MaxSide);
    if (!r.Ok()) return;
    // The mirrored variants are derived from the frame as read.
    if (frame.HasHFlip && frame.HasVFlip) {
        frame.hvFCollisionList();
        frame.hvFBoundingBox();
        frame.hvFHotSpotArray();
        frame.hvFCenter();
    }
    if (frame.HasHFlip) {
        frame.hFCollisionList();
        frame.hFBoundingBox();
        frame.hFHotSpotArray();
        frame.hFCenter();
    }
    if (frame.HasVFlip) {
        frame.vFCollisionList();
        frame.vFBoundingBox();
        frame.vFHotSpotArray();
        frame.vFCenter();
    }
    if (frame.HasHFlip || frame.HasVFlip) frame.FrameFlippingMoves();
}

void ReadAnimationSound(Reader& r, GameNode& level, AnimationElem& animation) {
    if (r.Bool()) {
        const String name = r.Text(), file = r.FileName();
        const bool flag = r.Bool();
        const std::int32_t value = r.Int();
        if (!r.Ok()) return;
        sound::AddSFX(level, name, file, flag, value);
        animation.SFX = Sound::Search(name);
    }
    animation.LoopSFX = r.Byte();
    animation.SoundStatus = r.Bool();
}

void ReadAnimation(Reader& r, GameNode& level, AnimationElem& animation, std::int32_t actor) {
    const std::int32_t frames = r.Count("frames", FrameBytes);
    animation.LoopFrame = r.Int();
    if (!r.Ok() || frames == 0) return;
    ReadAnimationSound(r, level, animation);
    if (!r.Ok()) return;
    animation.Frames = new FrameElem[static_cast<std::size_t>(frames)];
    if (animation.Frames == nullptr) {
        r.Fail("there is no memory for the %d frames of actor %d", frames, actor);
        return;
    }
    animation.FrameCount = frames;
    for (std::int32_t f = 0; f < frames && r.Ok(); ++f) ReadFrame(r, animation.Frames[f]);
}

// A slot filled again lets go of what it held, surfaces included.
void EmptySlot(SpriteElem& slot) {
    for (std::int32_t a = 0; slot.Animations != nullptr && a < slot.AnimationCount; ++a) {
        AnimationElem& animation = slot.Animations[a];
        for (std::int32_t f = 0; animation.Frames != nullptr && f < animation.FrameCount; ++f)
            for (int s = 0; s < 4; ++s) ReleaseSurface(animation.Frames[f].Surfaces[s]);
    }
    slot.Empty();
}

}  // namespace

bool ReadActors(Reader& r, GameNode& level) {
    r.Section("actors");
    const std::int32_t actors = r.Count("actors", ActorBytes);
    for (std::int32_t i = 0; i < actors && r.Ok(); ++i) {
        const std::int32_t actor = r.Int();
        const std::int32_t count = r.Count("animations", AnimationBytes);
        if (!r.Ok()) break;
        if (actor < 0 || actor >= ActorTableSize) {
            r.Fail("actor %d is outside the actor table (0 to %d)", actor, ActorTableSize - 1);
            break;
        }
        Animations animations;
        if (count != 0) {
            animations.reset(new AnimationElem[static_cast<std::size_t>(count)]);
            if (!animations) {
                r.Fail("there is no memory for the %d animations of actor %d", count, actor);
                break;
            }
        }
        for (std::int32_t a = 0; a < count && r.Ok(); ++a) ReadAnimation(r, level, animations[a], actor);
        if (!r.Ok()) break;
        SpriteElem& slot = SpriteList[actor];
        EmptySlot(slot);
        slot.AnimationCount = count;
        slot.Animations = animations.release();
    }
    return r.Ok();
}

// Runs one part of the level file; a level cannot be built from a corrupt one.
void ReadLevelPart(const char* signature, GameNode* level, bool (*part)(Reader&, GameNode&)) {
    if (_LevelFile == nullptr || level == nullptr) {
        UserError::Report(signature, level == nullptr ? "No level is given." : "No level file is open.");
        return;
    }
    Reader r(*_LevelFile);
    if (!part(r, *level))
        FatalExit("The level file %s is corrupt: %s.", static_cast<const char*>(level->LevelFileName),
                  r.Fault().c_str());
}

}  // namespace gamefile

void GenerateActors(GameNode* level) {
    gamefile::ReadLevelPart("void GenerateActors(GameNode *)", level, gamefile::ReadActors);
}
