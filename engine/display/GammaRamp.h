// The gamma-ramp screen transition: a colour filter, a fade in from black and a
// fade out to black, done with the display's gamma ramp (full screen only) and
// stepped once per frame by Update().
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "platform/Display.h"

class QEL_API GammaRamp : public node {
public:
    enum GammaRampKind : std::int32_t { Idle = -1, FilterKind = 0, FadeInKind = 1, FadeOutKind = 2 };

    GammaRamp();
    ~GammaRamp() override;

    static node* CreateObject();
    static CREATE cr;
    const char* ClassName() const override;
    void Load(File& file) override;
    void Save(File& file) override;

    // Tints the screen with a COLORREF for a number of frames.
    void Filter(unsigned long colour, int frames);
    void FadeIn(int frames);
    // Fades to dark, holds the delay, then restores the normal ramp or leaves
    // the screen dark.
    void FadeOut(int frames, int delay, bool restore);

    void Update();
    bool IsRunning() const { return running; }
    void Stop();

    // State, for tests and the level's save data.
    GammaRampKind Kind() const { return kind; }
    std::int32_t Counter() const { return counter; }
    const qel::GammaRamp& WorkingRamp() const { return working; }

private:
    void ResetFields();
    void SetRamp();
    // Every channel's entry i := trunc(i x factor), held within uint16.
    void FillScaled(long double factor);

    qel::GammaRamp identity;
    qel::GammaRamp working;
    GammaRampKind kind = Idle;
    std::int32_t counter = 0;
    std::int32_t delay = 0;
    std::int32_t duration = 0;
    bool running = false;
    float step = 0;
    bool restore = true;
};
