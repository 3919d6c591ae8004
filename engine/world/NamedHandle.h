// The shape of every named handle: one pointer wide, never null and never
// owning. A missing object (null, or a name its class's Search does not find)
// gives the class's placeholder, so calls through the handle always land on a
// valid object. Handle supplies the placeholder through Handle::Placeholder().
#pragma once

template <class C, class Handle>
class NamedHandle {
public:
    NamedHandle() : held(Handle::Placeholder()) {}
    NamedHandle(C* p) : held(p ? p : Handle::Placeholder()) {}
    // The class's Search reports an unknown name itself.
    NamedHandle(const char* name) {
        C* found = C::Search(name);
        held = found ? found : Handle::Placeholder();
    }

    // A null pointer leaves the handle as it is.
    NamedHandle& operator=(C* p) {
        if (p) held = p;
        return *this;
    }

    C* operator->() const { return held; }
    C& operator*() const { return *held; }
    operator C*() const { return held; }

protected:
    C* held;
};
