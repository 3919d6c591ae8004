// The wipe screen transition: a solid colour closing in from the edges (bars,
// a shrinking rectangle or circle) or opening out from the centre, drawn over
// the back buffer once per frame by Update(), in windowed and full-screen mode.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/Types.h"

class QEL_API OpenClose : public node {
public:
    enum OpenCloseKind : std::int32_t {
        Idle = -1,
        LeftRightCloseKind = 0,
        LeftRightOpenKind = 1,
        TopBottomCloseKind = 2,
        TopBottomOpenKind = 3,
        RectCloseKind = 4,
        RectOpenKind = 5,
        CircleCloseKind = 6,
        CircleOpenKind = 7,
    };

    OpenClose();

    static node* CreateObject();
    static CREATE cr;
    const char* ClassName() const override;
    void Load(File& file) override;
    void Save(File& file) override;

    void LeftRightClose(unsigned long colour, int frames, int delay);
    void LeftRightOpen(unsigned long colour, int frames);
    void TopBottomClose(unsigned long colour, int frames, int delay);
    void TopBottomOpen(unsigned long colour, int frames);
    void RectClose(unsigned long colour, int frames, int delay);
    void RectOpen(unsigned long colour, int frames);
    void CircleClose(unsigned long colour, int frames, int delay);
    void CircleOpen(unsigned long colour, int frames);

    void Update();
    bool IsRunning() const { return running; }
    void Stop();

    OpenCloseKind Kind() const { return kind; }
    std::int32_t Counter() const { return counter; }
    float Step() const { return step; }
    float Radius() const { return radius; }

private:
    bool MayStart(const char* effect, const char* target) const;
    void Start(OpenCloseKind newKind, unsigned long colour, int frameCount, int delayFrames);
    void SetBarStep(int half, int frameCount);
    void SetRectSteps(int frameCount);
    void SetCircle(int frameCount);
    void Draw();

    COLORREF colour = 0xFFFFFF;
    OpenCloseKind kind = Idle;
    std::int32_t counter = 0;
    std::int32_t frames = 0;
    bool running = false;
    float step = 0;
    float xStep = 0;
    float yStep = 0;
    float radius = 0;
    std::int32_t delay = 0;
};
