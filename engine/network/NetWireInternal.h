// The packets' 32-bit little-endian integers, for the engine's own writers and readers.
#pragma once
#include "network/NetWire.h"

namespace netwire {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value);
std::uint32_t GetU32(const std::uint8_t* at);

}  // namespace netwire
