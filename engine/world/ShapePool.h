// The class-level allocation of a pooled shape class: one immortal MemoryPool of
// 128 blocks per chunk. Under AddressSanitizer the blocks come from the global
// heap instead, so that a use after free of a shape is caught.
#pragma once
#include <cstddef>
#include <new>
#include "foundation/MemoryPool.h"

#if defined(__SANITIZE_ADDRESS__)
#define QEL_SHAPE_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_SHAPE_POOL_BYPASS 1
#endif
#endif

template <class T>
class ShapePool {
public:
    static void* Alloc(std::size_t size) {
#ifdef QEL_SHAPE_POOL_BYPASS
        return ::operator new(size);
#else
        if (size != sizeof(T)) return ::operator new(size);
        return Pool().Alloc();
#endif
    }
    static void Free(void* p, std::size_t size) {
        if (!p) return;
#ifdef QEL_SHAPE_POOL_BYPASS
        (void)size;
        ::operator delete(p);
#else
        if (size != sizeof(T)) ::operator delete(p);
        else Pool().Free(p);
#endif
    }

private:
    static MemoryPool& Pool() {
        // Never destroyed: shapes held by static objects may be freed after this
        // module's exit code has run.
        static MemoryPool* pool = new MemoryPool(sizeof(T), 128, false);
        return *pool;
    }
};
