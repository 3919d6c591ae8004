// A RIFF WAVE source read chunk by chunk: a "WAVE" resource of the game
// program or a file. Chunk sizes are never trusted beyond the data present.
#pragma once
#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>
#include "QelExport.h"

// The source's format as its "fmt " chunk gives it (18 bytes and the extra
// bytes when stored).
struct WaveFormat {
    std::uint16_t formatTag = 0;
    std::uint16_t channels = 0;
    std::uint32_t samplesPerSecond = 0;
    std::uint32_t avgBytesPerSecond = 0;
    std::uint16_t blockAlign = 0;
    std::uint16_t bitsPerSample = 0;
    std::uint16_t extraSize = 0;
    std::vector<std::uint8_t> extra;

    std::uint32_t StoredSize() const { return 18u + extraSize; }
    // 0x80 for 8-bit samples, else 0.
    std::uint8_t Silence() const { return bitsPerSample == 8 ? 0x80 : 0; }
};

class QEL_API WaveSource {
public:
    static constexpr std::int32_t Ok = 0;
    static constexpr std::int32_t Fail = std::int32_t(0x80004005u);

    WaveSource() = default;
    ~WaveSource();
    WaveSource(const WaveSource&) = delete;
    WaveSource& operator=(const WaveSource&) = delete;

    // A "WAVE" resource of the program with that name, else the file at that
    // path; it must be RIFF "WAVE" with a "fmt " chunk of at least 16 bytes.
    std::int32_t Open(const std::string& path);
    void Close();
    bool IsOpen() const { return open; }
    // Null until opened.
    const WaveFormat* Format() const { return open ? &format : nullptr; }

    // Rewinds to the start of the "data" chunk; Fail when there is none.
    std::int32_t SeekData();
    // The whole data chunk (as far as the source holds it) and what is left.
    std::uint32_t DataLength() const { return dataLength; }
    std::uint32_t DataLeft() const { return dataLeft; }
    // Up to n bytes of the data chunk; `read` gets the count (0 on failure).
    std::int32_t Read(std::uint32_t n, std::uint8_t* destination, std::uint32_t* read);
    std::int32_t Skip(std::uint32_t n);

private:
    struct Chunk {
        char id[4];
        std::uint64_t dataOffset;
        std::uint32_t size;  // cut to the bytes present
    };

    bool ReadAt(std::uint64_t offset, void* destination, std::uint32_t n);
    // The first chunk of that id in [begin, end).
    bool FindChunk(const char* id, std::uint64_t begin, std::uint64_t end, Chunk& found);
    bool ReadFormat();

    bool open = false;
    const std::uint8_t* memory = nullptr;
    std::FILE* stream = nullptr;
    std::uint64_t sourceSize = 0;
    std::uint64_t riffEnd = 0;
    WaveFormat format;
    std::uint64_t dataOffset = 0;
    std::uint32_t dataLength = 0;
    std::uint32_t dataLeft = 0;
};
