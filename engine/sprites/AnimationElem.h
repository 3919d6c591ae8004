// One animation of an actor: its frames, the frame it loops back to and the
// sound it plays.
#pragma once
#include <cstddef>
#include <cstdint>
#include "QelExport.h"

class FrameElem;
class Sound;

class QEL_API AnimationElem {
public:
    AnimationElem() = default;
    virtual ~AnimationElem();
    AnimationElem(const AnimationElem&) = delete;
    AnimationElem& operator=(const AnimationElem&) = delete;

    // Array allocation from the engine's heap: null, not an exception, when the
    // heap is exhausted.
    static void* operator new[](std::size_t size) noexcept;
    static void operator delete[](void* p) noexcept;

    std::int32_t FrameCount = 0;
    // Owned array of FrameCount frames, made with FrameElem's array new.
    FrameElem* Frames = nullptr;
    std::int32_t LoopFrame = 0;
    // A sound of the level (not owned), played when a sprite starts this animation.
    Sound* SFX = nullptr;
    std::uint8_t LoopSFX = 0;
    bool SoundStatus = true;
};
