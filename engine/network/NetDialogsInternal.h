// How the main thread shows a worker's request: the engine's own.
#pragma once
#include "network/NetDialogs.h"

// The engine's way of serving a request: input stopped, the dialog or box,
// remote players' input reset, input restarted.
NetworkRequest::Presenter EngineRequestPresenter();
