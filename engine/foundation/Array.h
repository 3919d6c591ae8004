// Growable array of values that only grows (by 10 elements at a time) or is
// emptied whole; copies are deep.
#pragma once

template <class T>
class Array {
public:
    Array() : data(new T[initialCapacity]), capacity(initialCapacity), count(0) {}

    Array(const Array& other)
        : data(other.capacity ? new T[other.capacity] : nullptr),
          capacity(other.capacity),
          count(other.count) {
        for (unsigned int i = 0; i < count; ++i) data[i] = other.data[i];
    }

    Array& operator=(const Array& other) {
        if (this != &other) {
            Array copy(other);
            Swap(copy);
        }
        return *this;
    }

    ~Array() { delete[] data; }

    void Add(const T& x) {
        if (count == capacity) {
            // x may live in the old buffer, so it is copied before that goes.
            T* old = data;
            capacity += growth;
            data = new T[capacity];
            for (unsigned int i = 0; i < count; ++i) data[i] = old[i];
            data[count] = x;
            delete[] old;
        } else {
            data[count] = x;
        }
        ++count;
    }

    unsigned int Size() const { return count; }

    // Not bounded: i must be below Size().
    T& operator[](unsigned int i) { return data[i]; }
    const T& operator[](unsigned int i) const { return data[i]; }

    // Destroys every element and gives the memory back; a later Add starts afresh.
    void Free() {
        delete[] data;
        data = nullptr;
        capacity = 0;
        count = 0;
    }

    // Empties the array back to its initial capacity.
    void Clear() {
        Free();
        data = new T[initialCapacity];
        capacity = initialCapacity;
    }

private:
    static constexpr unsigned int initialCapacity = 10;
    static constexpr unsigned int growth = 10;

    void Swap(Array& other) {
        T* d = data;
        data = other.data;
        other.data = d;
        unsigned int c = capacity;
        capacity = other.capacity;
        other.capacity = c;
        unsigned int n = count;
        count = other.count;
        other.count = n;
    }

    T* data;
    unsigned int capacity;
    unsigned int count;
};
