// Growable array of values that only grows or is emptied whole; copies are
// deep. The capacity starts at 10 and grows by half, so that long recordings
// cost little per element and little room is left unused; elements are
// constructed as they are added and moved, not copied, when the array grows.
#pragma once

#include <cstddef>
#include <cstring>
#include <memory>
#include <new>
#include <type_traits>
#include <utility>

template <class T>
class Array;

// Element types whose objects may change address by a plain copy of their
// bytes: nothing points into them, so growing copies them as one block.
template <class T>
struct MovesByBytes : std::is_trivially_copyable<T> {};
template <class U>
struct MovesByBytes<Array<U>> : std::true_type {};

template <class T>
class Array {
public:
    Array() : data(Allocate(initialCapacity)), capacity(initialCapacity), count(0) {}

    Array(const Array& other) : data(Allocate(other.capacity)), capacity(other.capacity), count(0) {
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

    // Makes room for n elements in all at once, so that adding them moves nothing.
    void Reserve(unsigned int n) {
        if (n <= capacity) return;
        T* bigger = Allocate(n);
        MoveAll(bigger);
        Deallocate(data, capacity);
        data = bigger;
        capacity = n;
    }

    // Empties the array back to its initial capacity; a block of that
    // capacity is kept rather than freed and made again.
    void Clear() {
        if (data && capacity == initialCapacity) {
            for (unsigned int i = 0; i < count; ++i) data[i].~T();
            count = 0;
            return;
        }
        Free();
        data = Allocate(initialCapacity);
        capacity = initialCapacity;
    }

private:
    static constexpr unsigned int initialCapacity = 10;

    template <class U>
    void Append(U&& x) {
        if (count < capacity) {
            new (data + count) T(std::forward<U>(x));
        } else {
            // x may live in the old block, so the new element is made before
            // the old ones move out of it.
            const unsigned int grown = capacity < initialCapacity ? initialCapacity : capacity + capacity / 2;
            T* bigger = Allocate(grown);
            new (bigger + count) T(std::forward<U>(x));
            MoveAll(bigger);
            Deallocate(data, capacity);
            data = bigger;
            capacity = grown;
        }
        ++count;
    }

    static T* Allocate(unsigned int n) { return n ? std::allocator<T>().allocate(n) : nullptr; }

    static void Deallocate(T* p, unsigned int n) {
        if (p) std::allocator<T>().deallocate(p, n);
    }

    void MoveAll(T* to) {
        if constexpr (MovesByBytes<T>::value) {
            if (count)
                std::memcpy(static_cast<void*>(to), static_cast<const void*>(data), std::size_t(count) * sizeof(T));
        } else {
            for (unsigned int i = 0; i < count; ++i) {
                new (to + i) T(std::move(data[i]));
                data[i].~T();
            }
        }
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
