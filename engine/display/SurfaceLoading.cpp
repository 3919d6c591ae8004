#include "display/SurfaceLoadingInternal.h"

#include <memory>
#include "display/DisplayInternal.h"
#include "platform/Display.h"
#include "platform/Image.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/SpriteList.h"

namespace {

std::unique_ptr<qel::Surface> NewSurface(qel::Display* display, std::int32_t width, std::int32_t height) {
    if (display) return display->CreateSurface(width, height);
    return qel::Surface::Create(width, height, displayDepth);
}

// Visits every counted frame of the actor table.
template <class Visit>
void ForEachFrame(Visit visit) {
    for (SpriteElem& slot : SpriteList) {
        if (!slot.Animations) continue;
        for (std::int32_t a = 0; a < slot.AnimationCount; ++a) {
            AnimationElem& animation = slot.Animations[a];
            if (!animation.Frames) continue;
            for (std::int32_t f = 0; f < animation.FrameCount; ++f) visit(animation.Frames[f]);
        }
    }
}

// A mirrored copy of the frame's top-left Width x Height. The copy starts as the
// key colour, so whatever the source cannot supply stays transparent.
void MakeMirror(FrameElem& frame, int index, std::uint32_t flags) {
    qel::Surface*& copy = frame.Surfaces[index];
    const qel::Surface* source = frame.Surfaces[FrameElem::Unflipped];
    if (copy || !source || frame.Width <= 0 || frame.Height <= 0) return;
    std::unique_ptr<qel::Surface> made = NewSurface(pDirectDraw, frame.Width, frame.Height);
    if (!made) return;
    SetSurfaceColorKey(made.get(), frame.TransparentColor);
    made->Fill(nullptr, made->ColorKey());
    const QelRect rect{0, 0, frame.Width, frame.Height};
    made->Blit(rect, *source, rect, flags);
    copy = made.release();
}

int ImageSize(const char* name, bool width) {
    if (!name) return 32;
    const std::unique_ptr<qel::Image> image = qel::Image::Load(name, std::string(currentAssetFolder));
    if (!image) return 32;
    return width ? image->Width() : image->Height();
}

}  // namespace

qel::Surface* LoadImageFile(qel::Display* display, const char* name, COLORREF key, bool* opaque) {
    if (!name) return nullptr;
    const std::unique_ptr<qel::Image> image = qel::Image::Load(name, std::string(currentAssetFolder));
    if (!image) return nullptr;
    std::unique_ptr<qel::Surface> surface = NewSurface(display, image->Width(), image->Height());
    if (!surface) return nullptr;
    // An opaque picture covers its surface: drawn whole, its key-coloured
    // pixels get the key's own value, which is what a fill with the key would
    // have left under them (and a level's map is not written twice).
    const bool covers = image->Opaque();
    if (!covers) surface->Fill(nullptr, ColorMatch(surface.get(), key));
    SetSurfaceColorKey(surface.get(), key);
    image->DrawInto(*surface, 0, 0, covers ? qel::InvalidColor : key);
    if (opaque) *opaque = covers;
    return surface.release();
}

std::uint32_t ColorMatch(const qel::Surface* surface, COLORREF colour) {
    if (!surface || colour == qel::InvalidColor) return 0xFFFFFFFF;
    return surface->MapColor(colour);
}

void SetSurfaceColorKey(qel::Surface* surface, COLORREF colour) {
    if (surface) surface->SetColorKey(ColorMatch(surface, colour));
}

void ReleaseSurface(qel::Surface*& surface) {
    delete surface;
    surface = nullptr;
}

void LoadActorSurfaces() {
    currentAssetFolder = actorsFolder;
    ForEachFrame([](FrameElem& frame) {
        qel::Surface*& unflipped = frame.Surfaces[FrameElem::Unflipped];
        if (!unflipped) unflipped = LoadImageFile(pDirectDraw, frame.FileName, frame.TransparentColor);
        if (frame.HasHFlip && frame.HasVFlip)
            MakeMirror(frame, FrameElem::BothFlips, qel::BlitMirrorLeftRight | qel::BlitMirrorUpDown);
        if (frame.HasHFlip) MakeMirror(frame, FrameElem::HorizontalFlip, qel::BlitMirrorLeftRight);
        if (frame.HasVFlip) MakeMirror(frame, FrameElem::VerticalFlip, qel::BlitMirrorUpDown);
    });
}

void ReleaseActorSurfaces() {
    ForEachFrame([](FrameElem& frame) {
        ReleaseSurface(frame.Surfaces[FrameElem::Unflipped]);
        ReleaseSurface(frame.Surfaces[FrameElem::BothFlips]);
        ReleaseSurface(frame.Surfaces[FrameElem::HorizontalFlip]);
        ReleaseSurface(frame.Surfaces[FrameElem::VerticalFlip]);
    });
}

int GetBmpWidth(char* name) { return ImageSize(name, true); }

int GetBmpHeight(char* name) { return ImageSize(name, false); }
