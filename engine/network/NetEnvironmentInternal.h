// The engine's own side of the network environment: a sprite's input queue and held input.
#pragma once
#include "network/NetEnvironment.h"

class Sprite;

// Puts one frame's records into a sprite's input queue as its messages.
void QueueFrameRecords(Sprite& sprite, const std::vector<netwire::FrameRecord>& records);
// The keys (scan codes) and mouse buttons (0 to 2) the sprite holds down.
void HeldInputOf(const Sprite& sprite, std::vector<std::uint8_t>& keys, std::vector<std::uint8_t>& buttons);
