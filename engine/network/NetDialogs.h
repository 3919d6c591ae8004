// What the network dialogs do with their answers: the choice of a player
// (dialog 109) and the wait for the other players (dialog 110).
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>
#include "QelExport.h"
#include "network/NetworkRequest.h"

namespace net {

// The name of the level's sprite of that id; false when there is none.
using SpriteNamer = std::function<bool(std::uint32_t id, std::string& name)>;

// Lists the offered sprites that exist and asks for one: 2 on cancel or
// when nothing is selected, else the id's low 16 bits | 0x10000.
QEL_API int SelectPlayer(const std::vector<std::uint32_t>& offered, const SpriteNamer& name);

// Waits until the level's required players are present or the session is
// gone (1); a resignation sets the required players to 0xFFFFFFFF, asks for
// the disconnect level and answers 2.
QEL_API int WaitForPlayersDialog();

}  // namespace net
