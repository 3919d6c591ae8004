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

    // A chunk's blocks are handed out in address order as they are first
    // needed, so a large chunk costs no memory until its blocks are used.
    void AddChunk() {
        auto* memory = static_cast<unsigned char*>(
            ::operator new(blockSize* blocksPerChunk, std::align_val_t(alignof(std::max_align_t))));
        chunks = new Chunk{memory, chunks};
        fresh = memory;
        freshLeft = blocksPerChunk;
        hasChunk = true;
    }

    // Blocks given back come first, the most recent first; then the newest
    // chunk's blocks never used.
    void* Alloc() {
        if (freeList == nullptr && freshLeft == 0) {
            if (fixed && hasChunk) return nullptr;
            AddChunk();
        }
        if (freeList != nullptr) {
            void* block = freeList;
            freeList = *static_cast<void**>(block);
            return block;
        }
        void* block = fresh;
        fresh += blockSize;
        --freshLeft;
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
    unsigned char* fresh = nullptr;  // the newest chunk's first block never used
    std::size_t freshLeft = 0;
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
