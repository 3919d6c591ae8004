// Growable array of values that only grows or is emptied whole; copies are
// deep. The capacity starts at 10 and doubles, so that long recordings cost
// little per element; elements are constructed as they are added and moved,
// not copied, when the array grows.
#pragma once

#include <memory>
#include <new>
#include <utility>

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

    void Add(const T& x) {
        if (count == capacity) {
            // x may live in the old buffer, so it is copied before the old
            // elements are moved out of it.
            const unsigned int grown = capacity < initialCapacity ? initialCapacity : capacity * 2;
            T* bigger = Allocate(grown);
            new (bigger + count) T(x);
            for (unsigned int i = 0; i < count; ++i) {
                new (bigger + i) T(std::move(data[i]));
                data[i].~T();
            }
            Deallocate(data, capacity);
            data = bigger;
            capacity = grown;
        } else {
            new (data + count) T(x);
        }
        ++count;
    }

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

    static T* Allocate(unsigned int n) { return n ? std::allocator<T>().allocate(n) : nullptr; }
    static void Deallocate(T* p, unsigned int n) {
        if (p) std::allocator<T>().deallocate(p, n);
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
