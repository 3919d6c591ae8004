#include "runtime/ReplayFile.h"

#include <cstdint>
#include <cstring>
#include <utility>

#include "foundation/File.h"
#include "runtime/WholeFile.h"

namespace {

void WriteBody(File& file, const RecordedInput& input) {
    file.Write(ReplayFile::Magic, ReplayFile::MagicSize);
    const Array<KeyboardInputKeys>& keys = *input.keys;
    file.Write(std::uint32_t(keys.Size()));
    for (unsigned int f = 0; f < keys.Size(); ++f) {
        file.Write(std::uint32_t(keys[f].Size()));
        for (unsigned int k = 0; k < keys[f].Size(); ++k) file.Write(keys[f][k]);
    }
    const Array<unsigned char>& flags = *input.mouseFlags;
    file.Write(std::uint32_t(flags.Size()));
    for (unsigned int i = 0; i < flags.Size(); ++i) file.Write(flags[i]);
    const Array<MouseRelMove>& moves = *input.mouseMoves;
    file.Write(std::uint32_t(moves.Size()));
    for (unsigned int i = 0; i < moves.Size(); ++i) {
        file.Write(std::int32_t(moves[i].x));
        file.Write(std::int32_t(moves[i].y));
        file.Write(std::int32_t(moves[i].wheel));
    }
}

bool MagicMatches(File& file) {
    char magic[ReplayFile::MagicSize] = {};
    file.Read(magic, ReplayFile::MagicSize);
    return !file.HasError() && std::memcmp(magic, ReplayFile::Magic, ReplayFile::MagicSize) == 0;
}

// A stored count of entries of at least `entryBytes` each; 0 or less is none.
// A count the rest of the file cannot hold marks the file in error.
std::int32_t ReadCount(File& file, long entryBytes) {
    std::int32_t count = 0;
    file.Read(count);
    if (count <= 0) return 0;
    if (count > file.BytesLeft() / entryBytes) {
        file.SetError();
        return 0;
    }
    return count;
}

}  // namespace

bool ReplayFile::Write(PendingFile& file, const RecordedInput& input) {
    if (input.keys == nullptr || input.mouseFlags == nullptr || input.mouseMoves == nullptr) return false;
    return file.Write([&input](File& f) { WriteBody(f, input); });
}

bool ReplayFile::HasMagic(const char* name) {
    if (!CanOpenForReading(name)) return false;
    File file(name, File::Reading);
    return MagicMatches(file);
}

bool ReplayFile::Read(const char* name) {
    keys.Clear();
    mouseFlags.Clear();
    mouseMoves.Clear();
    bool good = false;
    if (CanOpenForReading(name)) {
        File file(name, File::Reading);
        good = ReadFrom(file);
    }
    if (!good) {
        keys.Clear();
        mouseFlags.Clear();
        mouseMoves.Clear();
    }
    return good;
}

bool ReplayFile::ReadFrom(File& file) {
    if (!MagicMatches(file)) return false;
    const std::int32_t frames = ReadCount(file, 4);
    for (std::int32_t f = 0; f < frames && !file.HasError(); ++f) {
        KeyboardInputKeys held;
        const std::int32_t n = ReadCount(file, 1);
        for (std::int32_t k = 0; k < n && !file.HasError(); ++k) {
            unsigned char code = 0;
            file.Read(code);
            held.Add(code);
        }
        keys.Add(std::move(held));
    }
    const std::int32_t flagCount = ReadCount(file, 1);
    for (std::int32_t i = 0; i < flagCount && !file.HasError(); ++i) {
        unsigned char flags = 0;
        file.Read(flags);
        mouseFlags.Add(flags);
    }
    const std::int32_t moveCount = ReadCount(file, 12);
    for (std::int32_t i = 0; i < moveCount && !file.HasError(); ++i) {
        MouseRelMove move;
        file.Read(move.x);
        file.Read(move.y);
        file.Read(move.wheel);
        mouseMoves.Add(move);
    }
    return !file.HasError();
}

void ReplayFile::MoveInto(const RecordedInput& input) {
    if (input.keys != nullptr) *input.keys = std::move(keys);
    if (input.mouseFlags != nullptr) *input.mouseFlags = std::move(mouseFlags);
    if (input.mouseMoves != nullptr) *input.mouseMoves = std::move(mouseMoves);
    keys.Clear();
    mouseFlags.Clear();
    mouseMoves.Clear();
}
