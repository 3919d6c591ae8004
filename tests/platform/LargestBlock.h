// The largest block asked of SDL's allocator (which the decoders' blocks come
// from) while an instance is alive.
#pragma once
#include <SDL.h>

#include <atomic>
#include <cstddef>

class LargestBlock {
public:
    LargestBlock() {
        SDL_GetMemoryFunctions(&malloc_, &calloc_, &realloc_, &free_);
        installed = this;
        SDL_SetMemoryFunctions(Malloc, Calloc, Realloc, free_);
    }
    ~LargestBlock() {
        SDL_SetMemoryFunctions(malloc_, calloc_, realloc_, free_);
        installed = nullptr;
    }
    std::size_t Bytes() const { return largest; }

private:
    static void Note(std::size_t bytes) {
        std::size_t seen = installed->largest.load();
        while (bytes > seen && !installed->largest.compare_exchange_weak(seen, bytes)) {
        }
    }
    static void* Malloc(std::size_t bytes) { return Note(bytes), installed->malloc_(bytes); }
    static void* Calloc(std::size_t count, std::size_t size) {
        return Note(count * size), installed->calloc_(count, size);
    }
    static void* Realloc(void* block, std::size_t bytes) { return Note(bytes), installed->realloc_(block, bytes); }

    static inline LargestBlock* installed = nullptr;
    SDL_malloc_func malloc_ = nullptr;
    SDL_calloc_func calloc_ = nullptr;
    SDL_realloc_func realloc_ = nullptr;
    SDL_free_func free_ = nullptr;
    std::atomic<std::size_t> largest{0};
};
