// The engine's own input session, which reads the running game (myGame, gNode,
// pMouse, pConsole). Its module registers it when the engine library loads.
#pragma once

class InputSession;

void RegisterEngineInputSession(InputSession* session);
