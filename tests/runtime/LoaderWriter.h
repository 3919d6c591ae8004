// Writes game and level files value by value, little-endian, as a tool that
// produces them would; and serves them to File as a program resource.
#pragma once
#include <cstdint>
#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

#include "platform/Resources.h"

class LoaderWriter {
public:
    LoaderWriter& I32(std::int32_t v) { return Little(std::uint32_t(v), 4); }
    LoaderWriter& U32(std::uint32_t v) { return Little(v, 4); }
    LoaderWriter& U8(std::uint8_t v) { return Little(v, 1); }
    LoaderWriter& B(bool v) { return Little(v ? 1 : 0, 1); }
    LoaderWriter& F32(float v) {
        std::uint32_t u;
        std::memcpy(&u, &v, 4);
        return Little(u, 4);
    }
    LoaderWriter& F64(double v) {
        std::uint64_t u;
        std::memcpy(&u, &v, 8);
        Little(std::uint32_t(u), 4);
        return Little(std::uint32_t(u >> 32), 4);
    }
    LoaderWriter& Str(const std::string& s) {
        I32(std::int32_t(s.size()));
        bytes.insert(bytes.end(), s.begin(), s.end());
        return *this;
    }
    LoaderWriter& Rect(std::int32_t l, std::int32_t t, std::int32_t r, std::int32_t b) {
        return I32(l).I32(t).I32(r).I32(b);
    }
    // A behaviour record: {kind, number, active}; kinds above 2 are written alone.
    struct Entry {
        std::int32_t kind;
        std::uint32_t number;
        bool active;
    };
    LoaderWriter& Behaviour(std::initializer_list<Entry> entries = {}) {
        I32(std::int32_t(entries.size()));
        for (const Entry& e : entries) {
            I32(e.kind);
            if (e.kind >= 0 && e.kind <= 2) U32(e.number).B(e.active);
        }
        return *this;
    }
    LoaderWriter& Segment(float x1, float y1, float x2, float y2, std::int32_t id, std::uint8_t type = 0,
                          std::int32_t value = 0) {
        return F32(x1).F32(y1).F32(x2).F32(y2).I32(id).U8(type).I32(value);
    }
    LoaderWriter& Append(const LoaderWriter& other) {
        bytes.insert(bytes.end(), other.bytes.begin(), other.bytes.end());
        return *this;
    }
    std::size_t Size() const { return bytes.size(); }

    std::vector<unsigned char> bytes;

private:
    LoaderWriter& Little(std::uint32_t v, int n) {
        for (int i = 0; i < n; ++i) bytes.push_back(static_cast<unsigned char>(v >> (8 * i)));
        return *this;
    }
};

// The first `size` bytes of a file, served as the program's RCDATA resource of
// that name for as long as this object lives.
class ResourceFile {
public:
    ResourceFile(const char* name, const std::vector<unsigned char>& data, std::size_t size)
        : bytes(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size)) {
        bytes.reserve(bytes.size() + 1);  // never a null data pointer, even when empty
        entry = {"RCDATA", name, bytes.data(), static_cast<std::uint32_t>(bytes.size())};
        table = {&entry, 1};
        previous = qel::ProgramResources();
        qel::SetProgramResources(&table);
    }
    ResourceFile(const char* name, const std::vector<unsigned char>& data) : ResourceFile(name, data, data.size()) {}
    ~ResourceFile() { qel::SetProgramResources(previous); }
    ResourceFile(const ResourceFile&) = delete;
    ResourceFile& operator=(const ResourceFile&) = delete;

private:
    std::vector<unsigned char> bytes;
    qel::ResourceEntry entry{};
    qel::ResourceTable table{};
    const qel::ResourceTable* previous = nullptr;
};
