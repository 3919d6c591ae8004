// Growable array of values that only grows or is emptied whole; copies are
// deep. The capacity starts at 10 and doubles, so that long recordings cost
// little per element; elements are constructed as they are added and moved,
// not copied, when the array grows.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

#include "platform/PageMemory.h"

template <class T>
class Array;

// Element types whose objects may change address by a plain copy of their
// bytes: nothing points into them. An array of them grows large in system
// pages, which move without copying (an hour's recording would otherwise copy
// megabytes into fresh memory in one frame).
template <class T>
struct MovesByBytes : std::is_trivially_copyable<T> {};
template <class U>
struct MovesByBytes<Array<U>> : std::true_type {};

template <class T>
class Array {
public:
    Array() : data(Allocate(initialCapacity)), capacity(initialCapacity), count(0) {}

    Array(const Array& other) : data(Allocate(other.capacity)), capacity(other.capacity), count(0) {
        Prepare(data, capacity, other.count);
        for (; count < other.count; ++count) new (data + count) T(other.data[count]);
    }

    Array(Array&& other) noexcept : data(other.data), capacity(other.capacity), count(other.count) {
        other.data = nullptr;
        other.capacity = 0;
        other.count = 0;
    }

    Array& operator=(const Array& other) {
        if (this != &other) {
            Array copy(other);
            Swap(copy);
        }
        return *this;
    }

    // The source is left freed: a later Add starts it afresh.
    Array& operator=(Array&& other) noexcept {
        if (this != &other) {
            Free();
            Swap(other);
        }
        return *this;
    }

    ~Array() { Free(); }

    void Add(const T& x) { Append(x); }

    // A value the caller gives up is moved in rather than copied.
    void Add(T&& x) { Append(std::move(x)); }

    unsigned int Size() const { return count; }

    // Not bounded: i must be below Size().
    T& operator[](unsigned int i) { return data[i]; }
    const T& operator[](unsigned int i) const { return data[i]; }

    // Destroys every element and gives the memory back; a later Add starts afresh.
    void Free() {
        for (unsigned int i = 0; i < count; ++i) data[i].~T();
        Deallocate(data, capacity);
        data = nullptr;
        capacity = 0;
        count = 0;
    }

    // Empties the array back to its initial capacity.
    void Clear() {
        Free();
        data = Allocate(initialCapacity);
        capacity = initialCapacity;
    }

private:
    static constexpr unsigned int initialCapacity = 10;

    template <class U>
    void Append(U&& x) {
        if (count == capacity) {
            // x may live in the old buffer, so it is copied before the old
            // elements are moved out of it.
            const unsigned int grown = capacity < initialCapacity ? initialCapacity : capacity * 2;
            if (InPages(capacity)) {
                T copy(std::forward<U>(x));  // x may live in the block that moves
                Regrow(grown);
                new (data + count) T(std::move(copy));
            } else {
                T* bigger = Allocate(grown);
                new (bigger + count) T(std::forward<U>(x));
                Prepare(bigger, grown, count);
                MoveAll(bigger);
                Deallocate(data, capacity);
                data = bigger;
                capacity = grown;
            }
        } else {
            new (data + count) T(std::forward<U>(x));
        }
        ++count;
    }

    static constexpr std::size_t pageBlockBytes = std::size_t(64) << 10;

    // Whether a block of n elements lives in system pages rather than the heap.
    static bool InPages(unsigned int n) { return MovesByBytes<T>::value && std::size_t(n) * sizeof(T) >= pageBlockBytes; }

    static T* Allocate(unsigned int n) {
        if (!n) return nullptr;
        if (!InPages(n)) return std::allocator<T>().allocate(n);
        void* block = qel::MapPages(std::size_t(n) * sizeof(T), qel::PageUse::Gradual);
        if (!block) throw std::bad_alloc();
        return static_cast<T*>(block);
    }

    // Fresh pages about to take n elements at once are mapped in in one go.
    static void Prepare(T* p, unsigned int capacity, unsigned int n) {
        if (p && n && InPages(capacity)) qel::PreparePages(p, std::size_t(n) * sizeof(T));
    }

    static void Deallocate(T* p, unsigned int n) {
        if (!p) return;
        if (InPages(n))
            qel::UnmapPages(p, std::size_t(n) * sizeof(T), qel::PageUse::Gradual);
        else
            std::allocator<T>().deallocate(p, n);
    }

    void MoveAll(T* to) {
        if constexpr (MovesByBytes<T>::value) {
            if (count) std::memcpy(static_cast<void*>(to), static_cast<const void*>(data), std::size_t(count) * sizeof(T));
        } else {
            for (unsigned int i = 0; i < count; ++i) {
                new (to + i) T(std::move(data[i]));
                data[i].~T();
            }
        }
    }

    // Grows a block in pages in place: nothing is copied.
    void Regrow(unsigned int grown) {
        void* moved = qel::GrowPages(data, std::size_t(capacity) * sizeof(T), std::size_t(grown) * sizeof(T));
        if (!moved) throw std::bad_alloc();
        data = static_cast<T*>(moved);
        capacity = grown;
    }

    void Swap(Array& other) {
        std::swap(data, other.data);
        std::swap(capacity, other.capacity);
        std::swap(count, other.count);
    }

    T* data;
    unsigned int capacity;
    unsigned int count;
};
