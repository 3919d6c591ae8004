#include "display/OpenClose.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "display/DisplayInternal.h"
#include "foundation/File.h"
#include "foundation/FloatToInt.h"
#include "foundation/UserError.h"
#include "platform/DrawContext.h"
#include "platform/Surface.h"

namespace {

float PerFrame(float distance, int frames) { return frames == 0 ? 0.0f : distance / float(frames); }

bool IsClosing(OpenClose::OpenCloseKind kind) { return kind >= 0 && kind % 2 == 0; }

}  // namespace

CREATE OpenClose::cr("OpenClose", OpenClose::CreateObject);

OpenClose::OpenClose() = default;

node* OpenClose::CreateObject() { return new OpenClose(); }

const char* OpenClose::ClassName() const { return "OpenClose"; }

bool OpenClose::MayStart(const char* effect, const char* target) const {
    if (!running) return true;
    UserError::Report(target, "The effect %s can't be set because another OpenClose effect is running.", effect);
    return false;
}

void OpenClose::Start(OpenCloseKind newKind, unsigned long newColour, int frameCount, int delayFrames) {
    colour = COLORREF(newColour);
    frames = frameCount;
    running = true;
    kind = newKind;
    if (IsClosing(newKind)) delay = delayFrames;
}

void OpenClose::SetBarStep(int half, int frameCount) { step = PerFrame(float(half), frameCount); }

void OpenClose::SetRectSteps(int frameCount) {
    xStep = PerFrame(float(displayWidth / 2), frameCount);
    yStep = PerFrame(float(displayHeight / 2), frameCount);
}

void OpenClose::SetCircle(int frameCount) {
    const double halfW = displayWidth / 2, halfH = displayHeight / 2;
    radius = float(std::sqrt(halfW * halfW + halfH * halfH));
    step = PerFrame(radius, frameCount);
}

void OpenClose::LeftRightClose(unsigned long c, int frameCount, int delayFrames) {
    if (!MayStart("LeftRightClose", "void OpenClose::LeftRightClose(COLORREF,int,int)")) return;
    SetBarStep(displayWidth / 2, frameCount);
    Start(LeftRightCloseKind, c, frameCount, delayFrames);
}

void OpenClose::LeftRightOpen(unsigned long c, int frameCount) {
    if (!MayStart("LeftRightOpen", "void OpenClose::LeftRightOpen(COLORREF,int)")) return;
    SetBarStep(displayWidth / 2, frameCount);
    Start(LeftRightOpenKind, c, frameCount, 0);
}

void OpenClose::TopBottomClose(unsigned long c, int frameCount, int delayFrames) {
    if (!MayStart("TopBottomClose", "void OpenClose::TopBottomClose(COLORREF,int,int)")) return;
    SetBarStep(displayHeight / 2, frameCount);
    Start(TopBottomCloseKind, c, frameCount, delayFrames);
}

void OpenClose::TopBottomOpen(unsigned long c, int frameCount) {
    if (!MayStart("TopBottomOpen", "void OpenClose::TopBottomOpen(COLORREF,int)")) return;
    SetBarStep(displayHeight / 2, frameCount);
    Start(TopBottomOpenKind, c, frameCount, 0);
}

void OpenClose::RectClose(unsigned long c, int frameCount, int delayFrames) {
    if (!MayStart("RectClose", "void OpenClose::RectClose(COLORREF,int,int)")) return;
    SetRectSteps(frameCount);
    Start(RectCloseKind, c, frameCount, delayFrames);
}

void OpenClose::RectOpen(unsigned long c, int frameCount) {
    if (!MayStart("RectOpen", "void OpenClose::RectOpen(COLORREF,int)")) return;
    SetRectSteps(frameCount);
    Start(RectOpenKind, c, frameCount, 0);
}

void OpenClose::CircleClose(unsigned long c, int frameCount, int delayFrames) {
    if (!MayStart("CircleClose", "void OpenClose::CircleClose(COLORREF,int,int)")) return;
    SetCircle(frameCount);
    Start(CircleCloseKind, c, frameCount, delayFrames);
}

void OpenClose::CircleOpen(unsigned long c, int frameCount) {
    if (!MayStart("CircleOpen", "void OpenClose::CircleOpen(COLORREF,int)")) return;
    SetCircle(frameCount);
    Start(CircleOpenKind, c, frameCount, 0);
}

void OpenClose::Update() {
    if (kind == Idle) return;
    // 64-bit sums: frames and delay near the int32 limits must not overflow,
    // and a counter at its limit ends the wipe instead of wrapping.
    const std::int64_t end = IsClosing(kind) ? std::int64_t(frames) + delay : std::int64_t(frames);
    if (counter > end || counter == std::numeric_limits<std::int32_t>::max()) {
        Stop();
        return;
    }
    if (running) ++counter;
    Draw();
}

void OpenClose::Draw() {
    if (pBackBuffer == nullptr) return;
    qel::DrawContext dc(*pBackBuffer);
    const std::int32_t W = displayWidth, H = displayHeight, halfW = W / 2, halfH = H / 2;
    const long double c = counter;
    const long double closed = std::min(counter, frames);
    const QelRect screen{0, 0, W, H};
    dc.SetPen(colour);
    dc.SetBrush(colour);
    switch (kind) {
        case LeftRightCloseKind: {
            const std::int32_t t = TruncToInt32(closed * step);
            dc.Rectangle(0, 0, t, H);
            dc.Rectangle(W - t, 0, W, H);
            break;
        }
        case LeftRightOpenKind:
            dc.Rectangle(0, 0, TruncToInt32(halfW - c * step), H);
            dc.Rectangle(TruncToInt32(halfW + c * step), 0, W, H);
            break;
        case TopBottomCloseKind: {
            const std::int32_t t = TruncToInt32(closed * step);
            dc.Rectangle(0, 0, W, t);
            dc.Rectangle(0, H - t, W, H);
            break;
        }
        case TopBottomOpenKind:
            dc.Rectangle(0, 0, W, TruncToInt32(halfH - c * step));
            dc.Rectangle(0, TruncToInt32(halfH + c * step), W, H);
            break;
        case RectCloseKind: {
            QelRect hole{TruncToInt32(c * xStep), TruncToInt32(c * yStep), TruncToInt32(W - c * xStep),
                         TruncToInt32(H - c * yStep)};
            if (counter > frames) hole = QelRect{};
            dc.FillRectMinusRect(screen, hole, colour);
            break;
        }
        case RectOpenKind:
            dc.FillRectMinusRect(screen,
                                 QelRect{TruncToInt32(halfW - c * xStep), TruncToInt32(halfH - c * yStep),
                                         TruncToInt32(halfW + c * xStep), TruncToInt32(halfH + c * yStep)},
                                 colour);
            break;
        case CircleCloseKind: {
            if (counter >= frames) {
                dc.FillRectMinusRect(screen, QelRect{}, colour);
                break;
            }
            const long double r = radius;
            const long double ox = TruncToInt32(r - halfW), oy = TruncToInt32(r - halfH);
            dc.FillRectMinusEllipse(screen,
                                    QelRect{TruncToInt32(c * step - ox), TruncToInt32(c * step - oy),
                                            TruncToInt32(2 * r - ox - c * step), TruncToInt32(2 * r - oy - c * step)},
                                    colour);
            break;
        }
        case CircleOpenKind:
            dc.FillRectMinusEllipse(screen,
                                    QelRect{TruncToInt32(halfW - c * step), TruncToInt32(halfH - c * step),
                                            TruncToInt32(halfW + c * step), TruncToInt32(halfH + c * step)},
                                    colour);
            break;
        default: break;
    }
}

void OpenClose::Stop() {
    colour = 0xFFFFFF;
    kind = Idle;
    counter = 0;
    frames = 0;
    running = false;
    step = xStep = yStep = radius = 0;
    delay = 0;
}

void OpenClose::Save(File& file) {
    file.Write(std::uint32_t(colour));
    file.Write(std::int32_t(kind));
    file.Write(counter);
    file.Write(frames);
    file.Write(running);
    file.Write(step);
    file.Write(xStep);
    file.Write(yStep);
    file.Write(radius);
    file.Write(delay);
}

void OpenClose::Load(File& file) {
    std::uint32_t readColour = 0;
    std::int32_t readKind = 0, readCounter = 0, readFrames = 0, readDelay = 0;
    bool readRunning = false;
    float readStep = 0, readXStep = 0, readYStep = 0, readRadius = 0;
    file.Read(readColour);
    file.Read(readKind);
    file.Read(readCounter);
    file.Read(readFrames);
    file.Read(readRunning);
    file.Read(readStep);
    file.Read(readXStep);
    file.Read(readYStep);
    file.Read(readRadius);
    file.Read(readDelay);
    // Only what the starters can produce: a wipe runs exactly while it has a
    // kind; an unknown kind would never end and would hold back every level
    // switch.
    const bool validKind = readKind >= Idle && readKind <= CircleOpenKind;
    if (!validKind || readRunning != (readKind != Idle)) file.SetError();
    if (file.HasError()) return;
    colour = readColour;
    kind = OpenCloseKind(readKind);
    counter = readCounter;
    frames = readFrames;
    running = readRunning;
    step = readStep;
    xStep = readXStep;
    yStep = readYStep;
    radius = readRadius;
    delay = readDelay;
}
