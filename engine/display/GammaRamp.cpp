#include "display/GammaRamp.h"

#include <cmath>
#include <limits>

#include "display/DisplayInternal.h"
#include "foundation/File.h"
#include "foundation/FloatToInt.h"
#include "foundation/UserError.h"

namespace {

constexpr const char* kFilterTarget = "void GammaRamp::Filter(COLORREF,int)";
constexpr const char* kFadeInTarget = "void GammaRamp::FadeIn(int)";
constexpr const char* kFadeOutTarget = "void GammaRamp::FadeOut(int,int,bool)";

// Negative frame counts and corrupt saved steps must not wrap around.
std::uint16_t ToRampEntry(long double v) { return TruncTo<std::uint16_t>(v); }

float StepFor(int frames) { return frames == 0 ? 0.0f : 255.0f / float(frames); }

// The checks every starter makes, in order; false (reported) refuses the call.
bool MayStart(bool running, const char* effect, const char* target) {
    if (pGammaControl == nullptr) {
        UserError::Report(target, "The effect %s can't be set because full screen mode is required.", effect);
        return false;
    }
    if (running) {
        UserError::Report(target, "The effect %s can't be set because another GammaRamp effect is running.", effect);
        return false;
    }
    return true;
}

void WriteRamp(File& file, const qel::GammaRamp& ramp) {
    for (const auto* channel : {&ramp.red, &ramp.green, &ramp.blue})
        for (std::uint16_t v : *channel) file.Write(static_cast<unsigned short>(v));
}

void ReadRamp(File& file, qel::GammaRamp& ramp) {
    for (auto* channel : {&ramp.red, &ramp.green, &ramp.blue})
        for (std::uint16_t& v : *channel) {
            unsigned short read = 0;
            file.Read(read);
            v = read;
        }
}

}  // namespace

CREATE GammaRamp::cr("GammaRamp", GammaRamp::CreateObject);

GammaRamp::GammaRamp() : identity(qel::GammaRamp::Identity()), working(qel::GammaRamp::Identity()) {}

GammaRamp::~GammaRamp() = default;

node* GammaRamp::CreateObject() { return new GammaRamp(); }

const char* GammaRamp::ClassName() const { return "GammaRamp"; }

void GammaRamp::SetRamp() {
    if (pGammaControl != nullptr) pGammaControl->SetGammaRamp(working);
}

void GammaRamp::FillScaled(long double factor) {
    for (int i = 0; i < 256; ++i) {
        const std::uint16_t v = ToRampEntry(static_cast<long double>(i) * factor);
        working.red[i] = working.green[i] = working.blue[i] = v;
    }
}

void GammaRamp::Filter(unsigned long colour, int frames) {
    if (!MayStart(running, "Filter", kFilterTarget)) return;
    const unsigned r = colour & 0xFF, g = (colour >> 8) & 0xFF, b = (colour >> 16) & 0xFF;
    for (unsigned i = 0; i < 256; ++i) {
        working.red[i] = std::uint16_t(r * i);
        working.green[i] = std::uint16_t(g * i);
        working.blue[i] = std::uint16_t(b * i);
    }
    SetRamp();
    duration = frames;
    running = true;
    kind = FilterKind;
}

void GammaRamp::FadeIn(int frames) {
    if (!MayStart(running, "FadeIn", kFadeInTarget)) return;
    step = StepFor(frames);
    FillScaled(step);
    SetRamp();
    duration = frames;
    running = true;
    kind = FadeInKind;
}

void GammaRamp::FadeOut(int frames, int delayFrames, bool restoreAfter) {
    if (!MayStart(running, "FadeOut", kFadeOutTarget)) return;
    step = StepFor(frames);
    working = identity;
    SetRamp();
    duration = frames;
    running = true;
    kind = FadeOutKind;
    delay = delayFrames;
    restore = restoreAfter;
}

void GammaRamp::Update() {
    if (pGammaControl == nullptr) {
        // The gamma control went with full screen: nothing left to restore.
        ResetFields();
        return;
    }
    // 64-bit sums: a duration and delay near the int32 limits must not overflow,
    // and a counter at its limit ends the effect instead of wrapping.
    const std::int64_t c = counter;
    const bool atLimit = counter == std::numeric_limits<std::int32_t>::max();
    switch (kind) {
        case FilterKind:
            if (c > std::int64_t(duration) || atLimit) {
                Stop();
            } else if (running) {
                ++counter;
            }
            break;
        case FadeInKind:
            if (c > std::int64_t(duration) - 1 || atLimit) {
                Stop();
            } else if (running) {
                ++counter;
                FillScaled(static_cast<long double>(step) * counter);
                SetRamp();
            }
            break;
        case FadeOutKind:
            if (c > std::int64_t(duration) + delay || atLimit) {
                Stop();
            } else if (running) {
                ++counter;
                if (counter < duration) {
                    FillScaled(static_cast<long double>(step) * (std::int64_t(duration) - counter));
                    SetRamp();
                }
            }
            break;
        default: break;
    }
}

void GammaRamp::Stop() {
    if (pGammaControl != nullptr && (kind != FadeOutKind || restore)) pGammaControl->SetGammaRamp(identity);
    ResetFields();
}

void GammaRamp::ResetFields() {
    counter = 0;
    duration = 0;
    running = false;
    kind = Idle;
    step = 0;
    delay = 0;
    restore = true;
}

void GammaRamp::Save(File& file) {
    file.Write(std::int32_t(kind));
    file.Write(counter);
    file.Write(delay);
    file.Write(duration);
    file.Write(running);
    WriteRamp(file, working);
    file.Write(step);
    file.Write(restore);
}

void GammaRamp::Load(File& file) {
    std::int32_t readKind = 0, readCounter = 0, readDelay = 0, readDuration = 0;
    bool readRunning = false, readRestore = true;
    float readStep = 0;
    qel::GammaRamp readRamp;
    file.Read(readKind);
    file.Read(readCounter);
    file.Read(readDelay);
    file.Read(readDuration);
    file.Read(readRunning);
    ReadRamp(file, readRamp);
    file.Read(readStep);
    file.Read(readRestore);
    // Only what the starters can produce: an effect runs exactly while it has
    // a kind; an unknown kind would hold back every level switch for good.
    const bool validKind = readKind >= Idle && readKind <= FadeOutKind;
    if (!validKind || readRunning != (readKind != Idle) || !std::isfinite(readStep)) file.SetError();
    if (file.HasError()) return;
    kind = GammaRampKind(readKind);
    counter = readCounter;
    delay = readDelay;
    duration = readDuration;
    running = readRunning;
    working = readRamp;
    step = readStep;
    restore = readRestore;
}
