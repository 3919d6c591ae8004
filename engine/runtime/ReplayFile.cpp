#include "runtime/ReplayFileInternal.h"

#include <cstdint>
#include <cstring>
#include <memory>
#include <utility>

#include "foundation/File.h"
#include "runtime/WholeFileInternal.h"

namespace {

void WriteBody(File& file, const RecordedInput& input) {
    file.Write(ReplayFile::Magic, ReplayFile::MagicSize);
    const RecordedKeys& keys = *input.keys;
    file.Write(std::uint32_t(keys.Size()));
    for (unsigned int f = 0; f < keys.Size(); ++f) {
        const KeyboardInputKeys held = keys[f];
        file.Write(std::uint32_t(held.size()));
        if (!held.empty()) file.Write(held.data(), int(held.size()));
    }
    const Array<unsigned char>& flags = *input.mouseFlags;
    file.Write(std::uint32_t(flags.Size()));
    if (flags.Size() != 0) file.Write(&flags[0], int(flags.Size()));
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

// The file's bytes after the magic, read in one go into memory not cleared
// first; a file too large to be a replay is refused.
struct Body {
    std::unique_ptr<unsigned char[]> bytes;
    std::size_t size = 0;

    bool Read(File& file) {
        const long left = file.BytesLeft();
        if (left < 0 || left > 0x7FFFFFFF) return false;
        size = std::size_t(left);
        bytes.reset(new unsigned char[size ? size : 1]);
        if (size > 0) file.Read(bytes.get(), int(size));
        return !file.HasError();
    }
};

// Little-endian values from the body in memory. Reading past the end marks
// it failed and yields zeros.
struct BodyReader {
    const unsigned char* at;
    const unsigned char* end;
    bool failed = false;

    std::size_t Left() const { return std::size_t(end - at); }

    std::int32_t Int32() {
        if (Left() < 4) {
            failed = true;
            return 0;
        }
        const std::uint32_t v =
            std::uint32_t(at[0]) | std::uint32_t(at[1]) << 8 | std::uint32_t(at[2]) << 16 | std::uint32_t(at[3]) << 24;
        at += 4;
        return std::int32_t(v);
    }

    // A stored count of entries of at least `entryBytes` each; 0 or less is
    // none. A count the rest cannot hold marks the body failed.
    std::size_t Count(std::size_t entryBytes) {
        const std::int32_t count = Int32();
        if (count <= 0) return 0;
        if (std::size_t(count) > Left() / entryBytes) {
            failed = true;
            return 0;
        }
        return std::size_t(count);
    }

    const unsigned char* Take(std::size_t n) {
        const unsigned char* taken = at;
        at += n;
        return taken;
    }
};

// How many key codes `frames` frames hold in all; the body fails when a frame
// claims more bytes than are left. Leaves the reader where it was.
std::size_t CountCodes(BodyReader reader, std::size_t frames) {
    std::size_t codes = 0;
    for (std::size_t f = 0; f < frames && !reader.failed; ++f) {
        const std::size_t n = reader.Count(1);
        reader.Take(n);
        codes += n;
    }
    return reader.failed ? 0 : codes;
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
    Empty();
    bool good = false;
    if (CanOpenForReading(name)) {
        Body body;
        {
            File file(name, File::Reading);
            good = MagicMatches(file) && body.Read(file);
        }
        good = good && Parse(body.bytes.get(), body.size);
    }
    if (!good) Empty();
    return good;
}

bool ReplayFile::Parse(const unsigned char* body, std::size_t size) {
    BodyReader reader{body, body + size};
    const std::size_t frames = reader.Count(4);
    const std::size_t codes = CountCodes(reader, frames);
    keys.Reserve(frames, codes);
    for (std::size_t f = 0; f < frames && !reader.failed; ++f) {
        const std::size_t n = reader.Count(1);
        keys.Add(KeyboardInputKeys(reader.Take(n), n));
    }
    const std::size_t flagCount = reader.Count(1);
    mouseFlags.Reserve(static_cast<unsigned int>(flagCount));
    for (const unsigned char* flag = reader.Take(flagCount); mouseFlags.Size() < flagCount; ++flag)
        mouseFlags.Add(*flag);
    const std::size_t moveCount = reader.Count(12);
    mouseMoves.Reserve(static_cast<unsigned int>(moveCount));
    for (std::size_t i = 0; i < moveCount; ++i) {
        MouseRelMove move;
        move.x = reader.Int32();
        move.y = reader.Int32();
        move.wheel = reader.Int32();
        mouseMoves.Add(move);
    }
    return !reader.failed;
}

void ReplayFile::MoveInto(const RecordedInput& input) {
    if (input.keys != nullptr) *input.keys = std::move(keys);
    if (input.mouseFlags != nullptr) *input.mouseFlags = std::move(mouseFlags);
    if (input.mouseMoves != nullptr) *input.mouseMoves = std::move(mouseMoves);
    Empty();
}

void ReplayFile::Empty() {
    keys.Clear();
    mouseFlags.Clear();
    mouseMoves.Clear();
}
