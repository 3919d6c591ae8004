// A RIFF WAVE file opened and read to its end in odd-sized steps, as the
// streamed sounds read it.
#include <vector>

#include "FuzzSupport.h"
#include "sound/WaveSource.h"

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    fuzz::StartHeadless();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string name = fuzz::WriteInput("fuzz.wav", data, size);
    WaveSource source;
    if (source.Open(name) != WaveSource::Ok || source.SeekData() != WaveSource::Ok) return 0;
    std::vector<std::uint8_t> block(4099);
    std::uint32_t read = 0;
    while (source.DataLeft() > 0) {
        if (source.Read(std::uint32_t(block.size()), block.data(), &read) != WaveSource::Ok || read == 0) break;
        source.Skip(3);
    }
    return 0;
}
