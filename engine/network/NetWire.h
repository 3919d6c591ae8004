// The packets that the peers of a networked level exchange: the first byte is
// the type; integers are 32-bit little-endian, unaligned, without gaps. Reading
// never goes past the end of a packet.
#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>
#include "QelExport.h"

enum NetMessageType : std::uint8_t {
    NetPlayerList = 0,
    NetPlayerChoice = 1,
    NetPlayerAccepted = 2,
    NetPlayerActive = 4,
    NetSessionFull = 5,
    NetPlayerResigned = 6,
    NetFrameInput = 7,
    // Records inside a NetFrameInput packet.
    NetFrameMarker = 8,
    NetKeyEvents = 9,
    NetMouseEvents = 10,
};

namespace netwire {

constexpr std::size_t MaxPlayerList = 512;
constexpr std::size_t IdPacketSize = 5;

// One record of a frame's input: type and data.
struct FrameRecord {
    std::uint8_t type = 0;
    std::vector<std::uint8_t> data;
};

// Type 0 with as many ids as fit in 512 bytes, in order.
QEL_API std::vector<std::uint8_t> PlayerList(const std::vector<std::uint32_t>& ids);
// The ids of a type-0 packet; trailing bytes that make no whole id are ignored.
QEL_API std::vector<std::uint32_t> ReadPlayerList(const std::uint8_t* packet, std::size_t size);
// A type byte and one id (types 1, 2, 4, 6).
QEL_API std::vector<std::uint8_t> IdPacket(std::uint8_t type, std::uint32_t id);
// The id of such a packet; false when it is shorter than 5 bytes.
QEL_API bool ReadId(const std::uint8_t* packet, std::size_t size, std::uint32_t& id);

// Type 7: the sender's sprite id, the record count and the records.
QEL_API std::vector<std::uint8_t> FrameInput(std::uint32_t spriteId, const std::vector<FrameRecord>& records);
// Reads a whole type-7 packet. False (and why) when it is truncated, a record
// runs past its end, bytes follow the last record or a record type is not 8,
// 9 or 10: such a packet is refused whole.
QEL_API bool ReadFrameInput(const std::uint8_t* packet, std::size_t size, std::uint32_t& spriteId,
                            std::vector<FrameRecord>& records, std::string& why);

}  // namespace netwire
