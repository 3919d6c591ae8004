// Fixed-size block allocator behind the class-level operator new and delete of
// frequently created classes. Blocks are handed out last freed, first reused.
//
// A class's pool is best made immortal (allocated once and never destroyed),
// since objects may outlive the pool's module at program end.
#pragma once
#include "QelExport.h"

class MemoryPoolImp;

class QEL_API MemoryPool {
public:
    // Blocks are at least pointer-sized and aligned for any type; a fixed pool
    // owns one chunk only and then answers null.
    MemoryPool(unsigned int blockSize, unsigned int blocksPerChunk, bool fixed);
    // Frees every chunk: blocks still in use become invalid.
    ~MemoryPool();
    MemoryPool(const MemoryPool&) = delete;
    MemoryPool& operator=(const MemoryPool&) = delete;

    void* Alloc();
    void Free(void* p);

private:
    MemoryPoolImp* imp;
};
