#include "foundation/List.h"

#include <cstdint>
#include "foundation/File.h"

List::List() : head(nullptr), sentinel(new node), count(0) {
    sentinel->next = sentinel;
    sentinel->previous = sentinel;
    head = sentinel;
}

List::List(const List& other) : List() { *this = other; }

List::~List() {
    del();
    head = nullptr;
    delete sentinel;
}

List& List::operator=(const List& other) {
    if (this == &other) return *this;
    del();
    for (node* n = other.sentinel->previous; n != other.sentinel; n = n->previous) add(n->Clone());
    return *this;
}

node* List::Clone() const { return new List(*this); }

void List::add(node* n) {
    n->next = head;
    head->previous = n;
    head = n;
    n->previous = sentinel;
    ++count;
}

void List::add(node* n, node* before) {
    if (before == head) {
        add(n);
        return;
    }
    n->next = before;
    n->previous = before->previous;
    before->previous->next = n;
    before->previous = n;
    ++count;
}

void List::unlink(node* n) {
    if (n == head) {
        head = n->next;
        head->previous = sentinel;
    } else {
        n->previous->next = n->next;
        n->next->previous = n->previous;
    }
    n->next = nullptr;
    n->previous = nullptr;
    --count;
}

void List::del(node* n) {
    unlink(n);
    delete n;
}

void List::remove(node* n) { unlink(n); }

void List::del() {
    node* n = head;
    while (n != sentinel) {
        node* following = n->next;
        delete n;
        n = following;
    }
    head = sentinel;
    sentinel->previous = sentinel;
    count = 0;
}

void List::Save(File& file) {
    file.Write(static_cast<unsigned int>(count));
    for (node* n = sentinel->previous; n != sentinel; n = n->previous) file.Write(n);
}

void List::Load(File& file) {
    Load(file, [](const node*) { return true; });
}

void List::Load(File& file, bool (*accepts)(const node*)) {
    // The elements are the list's parts even when the list itself was not
    // read through the file: one it refuses is left to the file to free.
    File::InPlace parts(file, *this);
    unsigned int stored = 0;
    file.Read(stored);
    // Every reference takes at least four bytes: a larger count is corrupt.
    if (stored > static_cast<unsigned long>(file.BytesLeft()) / 4) {
        file.SetError();
        return;
    }
    for (unsigned int i = 0; i < stored && !file.HasError(); ++i) {
        node* n = nullptr;
        file.Read(n);
        // A list never holds null nor a class its users do not expect; a node already in a list, owned elsewhere,
        // or still being read in (it would come to own itself) would corrupt
        // both owners, so none is taken.
        if (n == nullptr || !accepts(n) || n->next != nullptr || n->previous != nullptr || !file.Claim(n)) {
            file.SetError();
            return;
        }
        add(n);
    }
}
