// The game's one network session and what the runtime does with it: opening
// and closing it, the network set-up of a level that is entered, the frame's
// lockstep exchange of input, and the wait for the other players.
#pragma once
#include <cstdint>
#include <functional>
#include "QelExport.h"
#include "input/MouseEvent.h"
#include "runtime/GameNode.h"

class NetworkComponent;

namespace net {

// The open session's component, or null.
QEL_API NetworkComponent* Current();
// A component that is made and hosts or joins; -1 (and no component) when one
// exists already or the session fails.
QEL_API int Host(_GUID application, unsigned long port, const char* session, const char* player);
QEL_API int Join(_GUID application, const char* host, unsigned long port, const char* player);
// Ends the session and deletes its component.
QEL_API void Close();
// True when a component exists and its session is up.
QEL_API bool SessionOpen();

// The out-queue of the session, when there is one.
QEL_API void AddToQOut(unsigned char type, unsigned char* data, unsigned int size);
QEL_API void SendQOut();
QEL_API void ClearQOut();

// The network part of entering a level: without a session the player creates
// or joins one; with one, every network player's sprite takes its input from
// the network again.
QEL_API void EnterLevel(GameNode& level);
// Session dialog, then the session; true when it is open.
QEL_API bool HostLevelSession(GameNode& level, _GUID application);
QEL_API bool JoinLevelSession(GameNode& level, _GUID application);
// On a worker: the wait dialog through the main thread, then the game goes on.
QEL_API int WaitForOtherPlayers();
// Asks for the level's disconnect level, unless that is the level itself.
QEL_API void GoToDisconnectLevel(const GameNode& level);

// The frame's exchange: sends this frame's input to every player and waits
// until every player's input for the frame is in. False when the time ran out:
// the game stops, the lost connection is shown, the disconnect level follows,
// and the frame ends.
QEL_API bool Lockstep(const MouseEvent* mouse, int mouseCount, const unsigned char* keys, int keyCount,
                      std::uint32_t timeoutMs = 10000);
// The exchange itself, for any peer: the frame's records (marker, mouse
// events, key pairs) go out, then every 10 ms `inputIn` is asked (it takes
// the flag the admission sets) until it answers true; false when the time
// ran out first.
QEL_API bool ExchangeInput(NetworkComponent& peer, const std::function<bool()>& inputIn, const MouseEvent* mouse,
                           int mouseCount, const unsigned char* keys, int keyCount, std::uint32_t timeoutMs);

}  // namespace net
