#include "world/LevelView.h"

#include "world/ViewPort.h"

ViewPort& LevelViewPort() {
    // Until the level holds its own camera, every reader shares this one.
    static ViewPort* fallback = new ViewPort(640, 480, 0, 0, 640, 480);
    return *fallback;
}
