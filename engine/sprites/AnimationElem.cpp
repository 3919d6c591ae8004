#include "sprites/AnimationElem.h"

#include <new>
#include "sprites/FrameElem.h"

AnimationElem::~AnimationElem() {
    delete[] Frames;
    Frames = nullptr;
}

void* AnimationElem::operator new[](std::size_t size) noexcept { return ::operator new[](size, std::nothrow); }

void AnimationElem::operator delete[](void* p) noexcept { ::operator delete[](p); }
