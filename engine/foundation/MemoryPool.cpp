#include "foundation/MemoryPool.h"

#include <cstddef>
#include <new>

class MemoryPoolImp {
public:
    struct Chunk {
        unsigned char* memory;
        Chunk* next;
    };

    // Each free block holds the link to the next, so a block must hold a
    // pointer; rounding to the strictest alignment keeps every block aligned.
    static std::size_t BlockSizeFor(unsigned int requested) {
        std::size_t size = requested < sizeof(void*) ? sizeof(void*) : requested;
        constexpr std::size_t align = alignof(std::max_align_t);
        return (size + align - 1) / align * align;
    }

    MemoryPoolImp(unsigned int requestedSize, unsigned int requestedBlocks, bool fixed)
        : blockSize(BlockSizeFor(requestedSize)), blocksPerChunk(requestedBlocks ? requestedBlocks : 1), fixed(fixed) {}

    ~MemoryPoolImp() {
        while (chunks != nullptr) {
            Chunk* following = chunks->next;
            ::operator delete(chunks->memory, std::align_val_t(alignof(std::max_align_t)));
            delete chunks;
            chunks = following;
        }
    }

    void AddChunk() {
        auto* memory = static_cast<unsigned char*>(
            ::operator new(blockSize* blocksPerChunk, std::align_val_t(alignof(std::max_align_t))));
        chunks = new Chunk{memory, chunks};
        // Thread the free list through the new blocks in address order.
        for (std::size_t i = 0; i < blocksPerChunk; ++i) {
            void* following = i + 1 < blocksPerChunk ? memory + (i + 1) * blockSize : nullptr;
            *reinterpret_cast<void**>(memory + i * blockSize) = following;
        }
        freeList = memory;
        hasChunk = true;
    }

    void* Alloc() {
        if (freeList == nullptr) {
            if (fixed && hasChunk) return nullptr;
            AddChunk();
        }
        void* block = freeList;
        freeList = *static_cast<void**>(block);
        return block;
    }

    void Free(void* p) {
        // A delete of a null object may reach here.
        if (p == nullptr) return;
        *static_cast<void**>(p) = freeList;
        freeList = p;
    }

private:
    Chunk* chunks = nullptr;
    void* freeList = nullptr;
    std::size_t blockSize;
    std::size_t blocksPerChunk;
    bool fixed;
    bool hasChunk = false;
};

MemoryPool::MemoryPool(unsigned int blockSize, unsigned int blocksPerChunk, bool fixed)
    : imp(new MemoryPoolImp(blockSize, blocksPerChunk, fixed)) {}

MemoryPool::~MemoryPool() { delete imp; }

void* MemoryPool::Alloc() { return imp->Alloc(); }

void MemoryPool::Free(void* p) { imp->Free(p); }
