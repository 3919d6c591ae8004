#include "display/LoadingInternal.h"

#include "display/DisplayInternal.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"

Loading::Loading() {
    _IsLoading = true;
    DrawLoadingText();
    if (gNode != nullptr) gNode->UpdateScreen();
}

Loading::~Loading() { _IsLoading = false; }
