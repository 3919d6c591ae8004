// One list of a class's saved fields, walked three ways: written to a file,
// read back from one, or copied from another object of the class. A class
// lists its fields once, in file order, in a static template
//     template <class Walk, class... Self> static void Fields(Walk& walk, Self&... self);
// that names each field as `walk(self.field...)`: writing and reading pass one
// object, copying passes the destination and then the source. Whatever needs
// more than a plain field (an owned object, a checked count, a pointer saved as
// a name) is a `walk.Step(write, read, copy, self...)` whose three lambdas stand
// side by side, so a field is never added to one walk and forgotten in another.
#pragma once
#include <cstddef>
#include <type_traits>
#include <utility>

#include "foundation/File.h"

namespace qel {

// Objects that write and read themselves (strings, behaviours, segments).
template <class T>
concept SavesItself = requires(T& t, File& f) {
    t.Save(f);
    t.Load(f);
};

template <class First, class... Rest>
First& FirstOf(First& first, Rest&...) {
    return first;
}

// What writing and reading share: arrays go field by field, a field a copy
// does not take is still in the file, and a field kept in memory only is not.
template <class Walk>
class FieldFileWalk {
public:
    template <class T, std::size_t N>
    void operator()(T (&fields)[N]) {
        for (T& f : fields) Self()(f);
    }
    template <class T>
    void Fresh(const T&, T& field) {
        Self()(field);
    }
    template <class... T>
    void Unsaved(T&...) {}

private:
    Walk& Self() { return static_cast<Walk&>(*this); }
};

// Writes each field as the file stores it.
class FieldWriter : public FieldFileWalk<FieldWriter> {
public:
    explicit FieldWriter(File& file) : file_(file) {}
    using FieldFileWalk::operator();
    template <class T>
    void operator()(T& field) {
        if constexpr (SavesItself<T>)
            field.Save(file_);
        else
            file_.Write(field);
    }
    template <class W, class R, class C, class Self>
    void Step(W&& write, R&&, C&&, Self& self) {
        write(file_, self);
    }
    // Reading stops at the first check that fails; the other walks go on.
    bool Check(bool) const { return true; }
    // Reading marks the file corrupt and goes on; the other walks ignore it.
    void Corrupt(bool) const {}

private:
    File& file_;
};

// Reads the fields back. A failed check stops the walk and marks it refused;
// the class decides what a refused record leaves behind.
class FieldReader : public FieldFileWalk<FieldReader> {
public:
    explicit FieldReader(File& file) : file_(file) {}
    using FieldFileWalk::operator();
    template <class T>
    void operator()(T& field) {
        if (!going_) return;
        if constexpr (SavesItself<T>)
            field.Load(file_);
        else
            file_.Read(field);
    }
    template <class W, class R, class C, class Self>
    void Step(W&&, R&& read, C&&, Self& self) {
        if (going_ && !read(file_, self)) going_ = false;
    }
    bool Check(bool ok) {
        if (!ok) going_ = false;
        return going_;
    }
    void Corrupt(bool corrupt) {
        if (corrupt) file_.SetError();
    }
    // True when every check held and the file read whole.
    bool Accepted() const { return going_ && !file_.HasError(); }

private:
    File& file_;
    bool going_ = true;
};

// Copies every field from a source object; fresh fields take their start value.
class FieldCopier {
public:
    template <class T>
    void operator()(T& to, const T& from) {
        to = from;
    }
    template <class T, std::size_t N>
    void operator()(T (&to)[N], const T (&from)[N]) {
        for (std::size_t i = 0; i < N; ++i) to[i] = from[i];
    }
    template <class T>
    void Fresh(const T& start, T& to, const T&) {
        to = start;
    }
    template <class T>
    void Unsaved(T& to, const T& from) {
        (*this)(to, from);
    }
    template <class W, class R, class C, class To, class From>
    void Step(W&&, R&&, C&& copy, To& to, const From& from) {
        copy(to, from);
    }
    bool Check(bool) const { return true; }
    void Corrupt(bool) const {}
};

}  // namespace qel
