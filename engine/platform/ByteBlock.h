// A zero-filled block of bytes. A large block (a level's map, a picture file)
// is its own mapping in whole huge pages, whose memory goes back to the system
// when it is freed: the next level's blocks come back from the kernel a 2 MB
// page at a time, nearly as cheaply as reusing the heap, and a small level
// after a large one holds only its own. Small blocks come from the heap.
#pragma once
#include <cstddef>
#include <cstdint>
#include "QelExport.h"

namespace qel {

class QEL_API ByteBlock {
public:
    ByteBlock() = default;
    // Throws std::bad_alloc when the memory cannot be had.
    explicit ByteBlock(std::size_t size);
    ~ByteBlock();
    ByteBlock(ByteBlock&& other) noexcept;
    ByteBlock& operator=(ByteBlock&& other) noexcept;
    ByteBlock(const ByteBlock&) = delete;
    ByteBlock& operator=(const ByteBlock&) = delete;

    std::uint8_t* data() { return data_; }
    const std::uint8_t* data() const { return data_; }
    std::size_t size() const { return size_; }
    // Whether the block is a mapping of its own (else it is on the heap).
    bool Mapped() const { return mapped_ != 0; }

    // Blocks from this size up are mapped, where the system gives this
    // process huge pages when it asks for them (HugePages()). Without them a
    // mapped block would be faulted in a small page at a time at every level,
    // and the heap, which keeps freed blocks for the next level, is the
    // cheaper home.
    static constexpr std::size_t MappedFrom = std::size_t(2) << 20;
    static bool HugePages();

private:
    std::uint8_t* data_ = nullptr;
    std::size_t size_ = 0;
    std::size_t mapped_ = 0;  // the length of the mapping, 0 on the heap

    void Free();
};

}  // namespace qel
