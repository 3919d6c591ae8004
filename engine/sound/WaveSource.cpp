#include "sound/WaveSource.h"

#include <algorithm>
#include <cstring>

#include "platform/Paths.h"
#include "platform/Resources.h"

namespace {

constexpr std::uint64_t RiffHeaderSize = 12;
constexpr std::uint32_t PcmFormatBytes = 16;

std::uint32_t Le32(const std::uint8_t* p) {
    return std::uint32_t(p[0]) | (std::uint32_t(p[1]) << 8) | (std::uint32_t(p[2]) << 16) | (std::uint32_t(p[3]) << 24);
}

std::uint16_t Le16(const std::uint8_t* p) { return std::uint16_t(p[0] | (p[1] << 8)); }

}  // namespace

WaveSource::~WaveSource() { Close(); }

std::int32_t WaveSource::Open(const std::string& path) {
    Close();
    if (const qel::ResourceEntry* resource = qel::FindProgramResource("WAVE", path.c_str())) {
        memory = resource->data;
        sourceSize = resource->size;
    } else {
        stream = std::fopen(qel::NativePath(path.c_str()).c_str(), "rb");
        if (!stream) return Fail;
        if (std::fseek(stream, 0, SEEK_END) != 0) {
            Close();
            return Fail;
        }
        const long size = std::ftell(stream);
        sourceSize = size > 0 ? std::uint64_t(size) : 0;
    }
    if (!ReadFormat()) {
        Close();
        return Fail;
    }
    open = true;
    return Ok;
}

void WaveSource::Close() {
    if (stream) std::fclose(stream);
    stream = nullptr;
    memory = nullptr;
    sourceSize = riffEnd = 0;
    format = WaveFormat{};
    dataOffset = 0;
    dataLength = dataLeft = 0;
    open = false;
}

bool WaveSource::ReadAt(std::uint64_t offset, void* destination, std::uint32_t n) {
    if (offset > sourceSize || n > sourceSize - offset) return false;
    if (memory) {
        std::memcpy(destination, memory + offset, n);
        return true;
    }
    if (!stream || std::fseek(stream, long(offset), SEEK_SET) != 0) return false;
    return std::fread(destination, 1, n, stream) == n;
}

bool WaveSource::FindChunk(const char* id, std::uint64_t begin, std::uint64_t end, Chunk& found) {
    std::uint64_t at = begin;
    std::uint8_t header[8];
    while (at + 8 <= end) {
        if (!ReadAt(at, header, 8)) return false;
        const std::uint32_t size = Le32(header + 4);
        if (std::memcmp(header, id, 4) == 0) {
            std::memcpy(found.id, header, 4);
            found.dataOffset = at + 8;
            found.size = std::uint32_t(std::min<std::uint64_t>(size, end - found.dataOffset));
            return true;
        }
        // Chunks are word-aligned: an odd size is followed by a pad byte.
        at += 8 + std::uint64_t(size) + (size & 1u);
    }
    return false;
}

bool WaveSource::ReadFormat() {
    std::uint8_t riff[RiffHeaderSize];
    if (!ReadAt(0, riff, sizeof riff)) return false;
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0) return false;
    // The RIFF chunk ends where it says, or where the source ends.
    riffEnd = std::min<std::uint64_t>(8 + std::uint64_t(Le32(riff + 4)), sourceSize);
    Chunk fmt;
    if (!FindChunk("fmt ", RiffHeaderSize, riffEnd, fmt) || fmt.size < PcmFormatBytes) return false;
    std::uint8_t pcm[PcmFormatBytes];
    if (!ReadAt(fmt.dataOffset, pcm, PcmFormatBytes)) return false;
    WaveFormat f;
    f.formatTag = Le16(pcm);
    f.channels = Le16(pcm + 2);
    f.samplesPerSecond = Le32(pcm + 4);
    f.avgBytesPerSecond = Le32(pcm + 8);
    f.blockAlign = Le16(pcm + 12);
    f.bitsPerSample = Le16(pcm + 14);
    if (f.formatTag != 1) {
        // Other formats carry a count of extra bytes, which must lie inside the chunk.
        std::uint8_t count[2];
        if (fmt.size < PcmFormatBytes + 2 || !ReadAt(fmt.dataOffset + PcmFormatBytes, count, 2)) return false;
        f.extraSize = Le16(count);
        if (f.extraSize > fmt.size - PcmFormatBytes - 2) return false;
        f.extra.resize(f.extraSize);
        if (f.extraSize > 0 && !ReadAt(fmt.dataOffset + PcmFormatBytes + 2, f.extra.data(), f.extraSize)) return false;
    }
    format = std::move(f);
    return true;
}

std::int32_t WaveSource::SeekData() {
    dataOffset = 0;
    dataLength = dataLeft = 0;
    if (!open && !memory && !stream) return Fail;
    Chunk data;
    if (!FindChunk("data", RiffHeaderSize, riffEnd, data)) return Fail;
    dataOffset = data.dataOffset;
    dataLength = dataLeft = data.size;
    return Ok;
}

std::int32_t WaveSource::Read(std::uint32_t n, std::uint8_t* destination, std::uint32_t* read) {
    if (read) *read = 0;
    n = std::min(n, dataLeft);
    const std::uint64_t at = dataOffset + (dataLength - dataLeft);
    dataLeft -= n;
    if (n > 0 && !ReadAt(at, destination, n)) return Fail;
    if (read) *read = n;
    return Ok;
}

std::int32_t WaveSource::Skip(std::uint32_t n) {
    dataLeft -= std::min(n, dataLeft);
    return Ok;
}
