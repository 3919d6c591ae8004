// A file's bytes read through a read-only mapping of the file: its pages are
// the system's file cache, so a large picture is neither copied into memory of
// the process's own nor left behind in the heap once it has been decoded.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

namespace qel {

class MappedFile {
public:
    // Null when the file cannot be opened or mapped, or is empty.
    static std::unique_ptr<MappedFile> Open(const std::string& path);
    ~MappedFile();
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }

private:
    MappedFile(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    const std::uint8_t* data_;
    std::size_t size_;
};

}  // namespace qel
