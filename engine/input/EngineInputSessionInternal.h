// The engine's own input session, which reads the running game (myGame, gNode,
// pMouse, pConsole). Its module registers it when the engine library loads.
#pragma once

class InputSession;

void RegisterEngineInputSession(InputSession* session);
// Puts the engine's session in place. The game calls it when it is made, so
// that every program linked with the engine, statically too, has the session.
void UseEngineInputSession();
