#include "foundation/File.h"

#include <algorithm>
#include <bit>
#include <climits>
#include <cstring>
#include <string>
#include "foundation/CreateInternal.h"
#include "foundation/FatalExit.h"
#include "foundation/Node.h"
#include "platform/Paths.h"
#include "platform/Resources.h"

namespace {

constexpr std::size_t nameBytes = 32;
// Objects read inside objects recurse, each level through its class's whole
// reader (a sprite's or a text's fields take kilobytes of stack). Real graphs
// nest a few dozen deep (a traverser's children at most 64); a corrupt chain
// must stop long before it exhausts the stack of the thread reading it. The
// writer stops at the same depth, so a graph it writes always reads back.
constexpr std::size_t maxNesting = 256;

std::int32_t ClampToInt32(long long v) { return static_cast<std::int32_t>(std::clamp<long long>(v, 0, INT32_MAX)); }

}  // namespace

File::File(const char* name, Mode mode) : writing(mode != Reading) {
    const char* shown = name ? name : "";
    if (const qel::ResourceEntry* resource = qel::FindProgramResource("RCDATA", shown)) {
        fromResource = true;
        base = resource->data;
        size = ClampToInt32(resource->size);
        return;
    }
    stream = std::fopen(qel::NativePath(shown).c_str(), writing ? "wb" : "rb");
    if (stream == nullptr) {
        if (writing) FatalExit("Could not open the file %s for writing.", shown);
        FatalExit("Could not open the file %s for reading.", shown);
    }
    Size();
}

File::~File() {
    Close();
    // Deleting one object may delete others it owns, which were claimed by it;
    // only the ones nobody took are this File's.
    // An address can repeat when an owner deleted an object and another took
    // its place: each entry is looked at once.
    std::vector<node*> unowned;
    for (node* p : madeOrder) {
        auto entry = made.find(p);
        if (entry == made.end()) continue;
        if (!entry->second.claimed && !entry->second.callers) unowned.push_back(p);
        made.erase(entry);
    }
    for (node* p : unowned) delete p;
}

bool File::Close() {
    if (stream != nullptr) {
        if (std::fflush(stream) != 0) failed = true;
        if (std::fclose(stream) != 0) failed = true;
        stream = nullptr;
    }
    return !failed;
}

node* File::CreateObject(const char* name) {
    if (name == nullptr) return nullptr;  // no class has no name
    for (const CREATE& entry : ClassRegistry())
        if (std::strcmp(entry.name, name) == 0) return entry.create();
    return nullptr;
}

long File::Size() {
    if (stream != nullptr) {
        long at = std::ftell(stream);
        std::fseek(stream, 0, SEEK_END);
        size = ClampToInt32(std::ftell(stream));
        std::fseek(stream, at, SEEK_SET);
    }
    return size;
}

void File::SeekTo(long long position, int whence) {
    if (stream != nullptr) {
        if (position < LONG_MIN || position > LONG_MAX || std::fseek(stream, static_cast<long>(position), whence) != 0)
            failed = true;
        return;
    }
    long long origin = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? cursor : size;
    long long target = origin + position;
    if (target < 0 || target > size) {
        failed = true;
        target = std::clamp<long long>(target, 0, size);
    }
    cursor = target;
}

void File::SeekBegin(long position) { SeekTo(position, SEEK_SET); }

void File::SeekCur(long distance) { SeekTo(distance, SEEK_CUR); }

void File::SeekEnd(long distance) { SeekTo(-static_cast<long long>(distance), SEEK_END); }

long File::Position() {
    if (stream != nullptr) return std::ftell(stream);
    return static_cast<long>(cursor);
}

bool File::EndOfFile() {
    if (failed) return true;
    if (stream != nullptr) return std::feof(stream) != 0;
    return cursor >= size;
}

long File::BytesLeft() {
    if (failed) return 0;
    long at = Position();
    return at < 0 || at > size ? 0 : size - at;
}

void File::ReadRaw(void* p, std::size_t n) {
    if (n == 0) return;
    auto* bytes = static_cast<unsigned char*>(p);
    std::size_t got = 0;
    if (!failed) {
        if (stream != nullptr) {
            got = std::fread(bytes, 1, n, stream);
        } else if (fromResource) {
            std::size_t available = static_cast<std::size_t>(size - cursor);
            got = std::min(n, available);
            // An empty resource may have no data pointer at all.
            if (got > 0) std::memcpy(bytes, base + cursor, got);
            cursor += static_cast<std::int64_t>(got);
        }
        if (got < n) failed = true;
    }
    std::memset(bytes + got, 0, n - got);
}

void File::WriteRaw(const void* p, std::size_t n) {
    if (n == 0 || failed) return;
    if (stream == nullptr || std::fwrite(p, 1, n, stream) != n) failed = true;
}

void File::Read(void* p, int n) {
    if (n < 0) {
        failed = true;
        return;
    }
    ReadRaw(p, static_cast<std::size_t>(n));
}

void File::Write(const void* p, int n) {
    if (n < 0) {
        failed = true;
        return;
    }
    WriteRaw(p, static_cast<std::size_t>(n));
}

std::uint32_t File::ReadU32() {
    unsigned char b[4];
    ReadRaw(b, 4);
    return std::uint32_t(b[0]) | std::uint32_t(b[1]) << 8 | std::uint32_t(b[2]) << 16 | std::uint32_t(b[3]) << 24;
}

void File::WriteU32(std::uint32_t v) {
    unsigned char b[4] = {std::uint8_t(v), std::uint8_t(v >> 8), std::uint8_t(v >> 16), std::uint8_t(v >> 24)};
    WriteRaw(b, 4);
}

namespace {

std::uint16_t FromBytes16(const unsigned char* b) { return std::uint16_t(b[0] | b[1] << 8); }

}  // namespace

void File::Read(bool& v) {
    unsigned char b;
    ReadRaw(&b, 1);
    v = b != 0;
}
void File::Read(char& v) { ReadRaw(&v, 1); }
void File::Read(unsigned char& v) { ReadRaw(&v, 1); }
void File::Read(short& v) {
    unsigned char b[2];
    ReadRaw(b, 2);
    v = static_cast<short>(FromBytes16(b));
}
void File::Read(unsigned short& v) {
    unsigned char b[2];
    ReadRaw(b, 2);
    v = FromBytes16(b);
}
void File::Read(int& v) { v = static_cast<std::int32_t>(ReadU32()); }
void File::Read(unsigned int& v) { v = ReadU32(); }
void File::Read(long& v) { v = static_cast<std::int32_t>(ReadU32()); }
void File::Read(unsigned long& v) { v = ReadU32(); }
void File::Read(float& v) { v = std::bit_cast<float>(ReadU32()); }
void File::Read(double& v) {
    std::uint64_t low = ReadU32();
    std::uint64_t high = ReadU32();
    v = std::bit_cast<double>(low | high << 32);
}
void File::Read(tagRECT& v) {
    Read(v.left);
    Read(v.top);
    Read(v.right);
    Read(v.bottom);
}
void File::Read(QelRect& v) {
    Read(v.left);
    Read(v.top);
    Read(v.right);
    Read(v.bottom);
}
void File::Read(FRECT& v) {
    Read(v.top);
    Read(v.left);
    Read(v.bottom);
    Read(v.right);
}

void File::Write(bool v) {
    unsigned char b = v ? 1 : 0;
    WriteRaw(&b, 1);
}
void File::Write(char v) { WriteRaw(&v, 1); }
void File::Write(unsigned char v) { WriteRaw(&v, 1); }
void File::Write(short v) { Write(static_cast<unsigned short>(v)); }
void File::Write(unsigned short v) {
    unsigned char b[2] = {std::uint8_t(v), std::uint8_t(v >> 8)};
    WriteRaw(b, 2);
}
void File::Write(int v) { WriteU32(static_cast<std::uint32_t>(v)); }
void File::Write(unsigned int v) { WriteU32(v); }
void File::Write(long v) { WriteU32(static_cast<std::uint32_t>(v)); }
void File::Write(unsigned long v) { WriteU32(static_cast<std::uint32_t>(v)); }
void File::Write(float v) { WriteU32(std::bit_cast<std::uint32_t>(v)); }
void File::Write(double v) {
    std::uint64_t bits = std::bit_cast<std::uint64_t>(v);
    WriteU32(static_cast<std::uint32_t>(bits));
    WriteU32(static_cast<std::uint32_t>(bits >> 32));
}
void File::Write(const tagRECT& v) {
    Write(v.left);
    Write(v.top);
    Write(v.right);
    Write(v.bottom);
}
void File::Write(const QelRect& v) {
    Write(v.left);
    Write(v.top);
    Write(v.right);
    Write(v.bottom);
}
void File::Write(const FRECT& v) {
    Write(v.top);
    Write(v.left);
    Write(v.bottom);
    Write(v.right);
}

void File::Write(node* p) {
    if (p == nullptr) {
        WriteU32(0);
        return;
    }
    char name[nameBytes] = {};
    std::strncpy(name, p->ClassName(), nameBytes - 1);
    auto known = writtenIds.find(p);
    if (known != writtenIds.end()) {
        WriteRaw(name, nameBytes);
        WriteU32(static_cast<std::uint32_t>(known->second));
        return;
    }
    // Deeper than the reader goes: the file could never be loaded.
    if (nested >= maxNesting) {
        failed = true;
        return;
    }
    std::int32_t id = ++lastId;
    writtenIds.emplace(p, id);
    WriteRaw(name, nameBytes);
    WriteU32(static_cast<std::uint32_t>(id));
    ++nested;
    p->Save(*this);
    --nested;
}

void File::Read(node*& p) {
    p = nullptr;
    // A null reference is four zero bytes; a class name never starts so.
    char name[nameBytes];
    ReadRaw(name, 4);
    if (std::memcmp(name, "\0\0\0\0", 4) == 0) return;
    ReadRaw(name + 4, nameBytes - 4);
    name[nameBytes - 1] = '\0';
    std::int32_t id = static_cast<std::int32_t>(ReadU32());
    if (failed) return;
    if (id < 1) {
        failed = true;
        return;
    }
    auto known = readObjects.find(id);
    if (known != readObjects.end()) {
        // The same id under another class name would hand the caller an
        // object of the wrong type.
        // A forgotten id has no object any more.
        if (known->second == nullptr || std::strcmp(known->second->ClassName(), name) != 0) {
            failed = true;
            return;
        }
        ++made[known->second].references;
        p = known->second;
        HandToCaller(p);
        return;
    }
    if (nested >= maxNesting) {
        failed = true;
        return;
    }
    node* object = CreateObject(name);
    if (object == nullptr) {
        // Nothing tells how long the unknown object's data is: the rest of
        // the file cannot be read.
        failed = true;
        return;
    }
    readObjects.emplace(id, object);
    made[object] = Made{false, false, 1};
    madeOrder.push_back(object);
    loading.push_back(object);
    ++nested;
    object->Load(*this);
    --nested;
    loading.pop_back();
    p = object;
    HandToCaller(p);
}

// A top-level read gives its object away: the File must not delete it under
// the caller. Objects read inside it stay the File's until claimed.
void File::HandToCaller(node* p) {
    if (!loading.empty()) return;
    auto entry = made.find(p);
    if (entry != made.end()) entry->second.callers = true;
}

File::InPlace::InPlace(File& file, const node& object) : file(file) { file.loading.push_back(&object); }

File::InPlace::~InPlace() { file.loading.pop_back(); }

bool File::IsLoading(const node* p) const { return std::find(loading.begin(), loading.end(), p) != loading.end(); }

bool File::Claim(node* p) {
    if (p == nullptr) return true;
    auto entry = made.find(p);
    if (entry == made.end() || entry->second.claimed || IsLoading(p)) {
        failed = true;
        return false;
    }
    entry->second.claimed = true;
    return true;
}

void File::Forget(const node* p) {
    auto entry = made.find(p);
    if (entry == made.end()) return;
    if (entry->second.references > 1) failed = true;
    made.erase(entry);
    for (auto& [id, object] : readObjects)
        if (object == p) object = nullptr;
}

int File::Unclaimed() const {
    int count = 0;
    for (const auto& [p, entry] : made)
        if (!entry.claimed && !entry.callers) ++count;
    return count;
}
