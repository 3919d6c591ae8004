#include "platform/ByteBlock.h"

#include <sys/mman.h>
#include <sys/prctl.h>

#include <cstdlib>
#include <fstream>
#include <new>
#include <string>
#include <utility>

namespace qel {

namespace {

constexpr std::size_t HugePage = std::size_t(2) << 20;

std::size_t WholeHugePages(std::size_t size) { return (size + HugePage - 1) & ~(HugePage - 1); }

// `length` bytes (a multiple of a huge page) starting on a huge page, so that
// every page of the block can be a huge one: a page more is reserved, and what
// lies before and after the aligned part is given back at once.
std::uint8_t* MapAligned(std::size_t length) {
    const std::size_t reserved = length + HugePage;
    void* at = mmap(nullptr, reserved, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
    if (at == MAP_FAILED) return nullptr;
    auto* start = static_cast<std::uint8_t*>(at);
    auto* aligned = reinterpret_cast<std::uint8_t*>((reinterpret_cast<std::uintptr_t>(start) + HugePage - 1) &
                                                    ~std::uintptr_t(HugePage - 1));
    if (aligned > start) munmap(start, std::size_t(aligned - start));
    if (std::uint8_t* end = aligned + length; end < start + reserved) munmap(end, std::size_t(start + reserved - end));
    // Only advice: where it is not taken, the block is the same in small pages.
    madvise(aligned, length, MADV_HUGEPAGE);
    return aligned;
}

}  // namespace

bool ByteBlock::HugePages() {
    // Asked at every large block: the setting may change while the game runs.
    if (prctl(PR_GET_THP_DISABLE, 0, 0, 0, 0) > 0) return false;
    std::ifstream setting("/sys/kernel/mm/transparent_hugepage/enabled");
    std::string modes;
    std::getline(setting, modes);
    return modes.find("[always]") != std::string::npos || modes.find("[madvise]") != std::string::npos;
}

ByteBlock::ByteBlock(std::size_t size) : size_(size) {
    if (size == 0) return;
    if (size >= MappedFrom && HugePages()) {
        const std::size_t length = WholeHugePages(size);
        if (length < size) throw std::bad_alloc();
        data_ = MapAligned(length);
        mapped_ = length;
    } else {
        data_ = static_cast<std::uint8_t*>(std::calloc(size, 1));
    }
    if (!data_) throw std::bad_alloc();
}

ByteBlock::~ByteBlock() { Free(); }

ByteBlock::ByteBlock(ByteBlock&& other) noexcept
    : data_(std::exchange(other.data_, nullptr)),
      size_(std::exchange(other.size_, 0)),
      mapped_(std::exchange(other.mapped_, 0)) {}

ByteBlock& ByteBlock::operator=(ByteBlock&& other) noexcept {
    if (this != &other) {
        Free();
        data_ = std::exchange(other.data_, nullptr);
        size_ = std::exchange(other.size_, 0);
        mapped_ = std::exchange(other.mapped_, 0);
    }
    return *this;
}

void ByteBlock::Free() {
    if (mapped_)
        munmap(data_, mapped_);
    else
        std::free(data_);
    data_ = nullptr;
    size_ = 0;
    mapped_ = 0;
}

}  // namespace qel
