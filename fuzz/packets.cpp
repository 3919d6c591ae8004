// A game packet as a peer's network component takes it apart: the type byte,
// then the player list, an id, or a frame's input records.
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "network/NetWire.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) { return 0; }

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::uint32_t id = 0;
    switch (data[0]) {
        case NetPlayerList: netwire::ReadPlayerList(data, size); break;
        case NetFrameInput: {
            std::vector<netwire::FrameRecord> records;
            std::string why;
            netwire::ReadFrameInput(data, size, id, records, why);
            break;
        }
        default: netwire::ReadId(data, size, id); break;
    }
    return 0;
}
