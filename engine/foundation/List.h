// An owning, doubly linked chain of nodes closed by a sentinel whose next link
// is itself. A List is a node, so lists can hold lists.
#pragma once
#include <cstdint>
#include "QelExport.h"
#include "foundation/Node.h"

class QEL_API List : public node {
public:
    List();
    List(const List& other);
    ~List() override;
    // Empties this list and adds a Clone() of every node of the other, in order.
    List& operator=(const List& other);

    node* Clone() const override;
    // Loads onto the existing nodes, keeping the saved order.
    void Load(File& file) override;
    // The same for a list whose users take every element as a T: an element
    // of any other class puts the file in error and is not added.
    template <class T>
    void LoadOnly(File& file) {
        Load(file, [](const node* n) { return dynamic_cast<const T*>(n) != nullptr; });
    }
    // A uint32 count, then each node as an object reference, last to first.
    void Save(File& file) override;

    // Puts n at the front.
    void add(node* n);
    // Puts n immediately in front of before.
    void add(node* n, node* before);
    // Unlinks n (a member of this list) and deletes it.
    void del(node* n);
    // Unlinks n without deleting it; the caller owns it again.
    void remove(node* n);
    // Deletes every node.
    void del();

    int Count() const { return count; }
    node* Head() const { return head; }
    node* Sentinel() const { return sentinel; }

private:
    void unlink(node* n);
    void Load(File& file, bool (*accepts)(const node*));

    node* head;
    node* sentinel;
    std::int32_t count;
};
