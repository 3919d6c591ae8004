#include "world/LevelViewInternal.h"

#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "world/ViewPort.h"

ViewPort& LevelViewPort() {
    if (gNode != nullptr) return gNode->GetViewPort();
    // Readers outside a level (tools, tests) share this one.
    static ViewPort* fallback = new ViewPort(640, 480, 0, 0, 640, 480);
    return *fallback;
}
