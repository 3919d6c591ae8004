// Class-level allocation of a frequently created class: one immortal
// MemoryPool of 128 blocks per chunk. Only blocks of exactly sizeof(T) come
// from the pool (a derived class gets the general heap). Under
// AddressSanitizer every block comes from the general heap instead, so that a
// use after free of a pooled object is caught.
#pragma once
#include <cstddef>
#include <new>
#include "foundation/MemoryPool.h"

#if defined(__SANITIZE_ADDRESS__)
#define QEL_CLASS_POOL_BYPASS 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QEL_CLASS_POOL_BYPASS 1
#endif
#endif

template <class T>
class ClassPool {
public:
    static void* Alloc(std::size_t size) {
#ifdef QEL_CLASS_POOL_BYPASS
        return ::operator new(size);
#else
        if (size != sizeof(T)) return ::operator new(size);
        void* block = Pool().Alloc();
        if (block == nullptr) throw std::bad_alloc();
        return block;
#endif
    }

    static void Free(void* p, std::size_t size) {
        if (!p) return;
#ifdef QEL_CLASS_POOL_BYPASS
        (void)size;
        ::operator delete(p);
#else
        if (size != sizeof(T))
            ::operator delete(p);
        else
            Pool().Free(p);
#endif
    }

    // The pool, made at first use and never destroyed: objects held by static
    // objects may be freed after this module's exit code has run.
    static MemoryPool& Pool() {
        static MemoryPool* pool = new MemoryPool(sizeof(T), 128, false);
        return *pool;
    }
};
