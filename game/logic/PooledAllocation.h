// Class-level allocation from one MemoryPool per class, shared by the game's
// local-data classes. The pool is made on first use and never destroyed, so
// objects released late in program end still have a pool to return to.
#pragma once
#include <cstddef>
#include <new>
#include "foundation/MemoryPool.h"

template <class T>
struct PooledAllocation {
    static constexpr unsigned int BlocksPerChunk = 128;

    static MemoryPool& Pool() {
        static MemoryPool* pool = new MemoryPool(sizeof(T), BlocksPerChunk, false);
        return *pool;
    }
    // A class derived from T is bigger than the blocks: it goes to the heap.
    static void* Allocate(std::size_t size) {
        if (size != sizeof(T)) return ::operator new(size);
        void* p = Pool().Alloc();
        if (p == nullptr) throw std::bad_alloc();
        return p;
    }
    static void Release(void* p, std::size_t size) {
        if (p == nullptr) return;
        if (size != sizeof(T)) {
            ::operator delete(p);
            return;
        }
        Pool().Free(p);
    }
};
