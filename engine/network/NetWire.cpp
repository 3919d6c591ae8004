#include "network/NetWireInternal.h"

namespace netwire {

void PutU32(std::vector<std::uint8_t>& out, std::uint32_t value) {
    for (int i = 0; i < 4; ++i) out.push_back(std::uint8_t(value >> (8 * i)));
}

std::uint32_t GetU32(const std::uint8_t* at) {
    return std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
}

std::vector<std::uint8_t> PlayerList(const std::vector<std::uint32_t>& ids) {
    std::vector<std::uint8_t> packet{NetPlayerList};
    for (std::uint32_t id : ids) {
        if (packet.size() + 4 > MaxPlayerList) break;
        PutU32(packet, id);
    }
    return packet;
}

std::vector<std::uint32_t> ReadPlayerList(const std::uint8_t* packet, std::size_t size) {
    std::vector<std::uint32_t> ids;
    for (std::size_t at = 1; size >= 4 && at <= size - 4; at += 4) ids.push_back(GetU32(packet + at));
    return ids;
}

std::vector<std::uint8_t> IdPacket(std::uint8_t type, std::uint32_t id) {
    std::vector<std::uint8_t> packet{type};
    PutU32(packet, id);
    return packet;
}

bool ReadId(const std::uint8_t* packet, std::size_t size, std::uint32_t& id) {
    if (size < IdPacketSize) return false;
    id = GetU32(packet + 1);
    return true;
}

std::vector<std::uint8_t> FrameInput(std::uint32_t spriteId, const std::vector<FrameRecord>& records) {
    std::vector<std::uint8_t> packet{NetFrameInput};
    PutU32(packet, spriteId);
    PutU32(packet, std::uint32_t(records.size()));
    for (const FrameRecord& r : records) {
        packet.push_back(r.type);
        PutU32(packet, std::uint32_t(r.data.size()));
        packet.insert(packet.end(), r.data.begin(), r.data.end());
    }
    return packet;
}

namespace {

bool ParseFrameInput(const std::uint8_t* packet, std::size_t size, std::uint32_t& spriteId,
                     std::vector<FrameRecord>& records, std::string& why) {
    if (size < 9) {
        why = "a frame packet of " + std::to_string(size) + " bytes is shorter than its header";
        return false;
    }
    spriteId = GetU32(packet + 1);
    const std::uint32_t count = GetU32(packet + 5);
    std::size_t at = 9;
    for (std::uint32_t i = 0; i < count; ++i) {
        if (size - at < 5) {
            why = "record " + std::to_string(i) + " of " + std::to_string(count) + " is missing";
            return false;
        }
        FrameRecord r;
        r.type = packet[at];
        const std::uint32_t length = GetU32(packet + at + 1);
        at += 5;
        if (length > size - at) {
            why = "record " + std::to_string(i) + " claims " + std::to_string(length) + " bytes, " +
                  std::to_string(size - at) + " are left";
            return false;
        }
        if (r.type < NetFrameMarker || r.type > NetMouseEvents) {
            why = "record " + std::to_string(i) + " has the unknown type " + std::to_string(r.type);
            return false;
        }
        r.data.assign(packet + at, packet + at + length);
        at += length;
        records.push_back(std::move(r));
    }
    if (at != size) {
        why = std::to_string(size - at) + " bytes follow the last record";
        return false;
    }
    return true;
}

}  // namespace

bool ReadFrameInput(const std::uint8_t* packet, std::size_t size, std::uint32_t& spriteId,
                    std::vector<FrameRecord>& records, std::string& why) {
    std::vector<FrameRecord> read;
    records.clear();
    if (!ParseFrameInput(packet, size, spriteId, read, why)) return false;
    records = std::move(read);
    return true;
}

}  // namespace netwire
