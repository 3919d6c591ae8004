// Base of every engine object that can sit in a List, be cloned, and be written
// to or read from a File as part of an object graph.
#pragma once
#include "QelExport.h"

class File;
class List;

class QEL_API node {
public:
    node();
    // A copy belongs to no list and owns no local variable yet; assigning
    // leaves the target's links and local variable as they are.
    node(const node&);
    node& operator=(const node&) { return *this; }
    // Clears the links only: it neither unlinks the node from its list nor
    // deletes the local variable, which each owning class deletes itself.
    virtual ~node();
    // A NEW plain node, not a copy: subclasses that can be copied override it.
    virtual node* Clone() const;
    virtual void Load(File& file);
    virtual void Save(File& file);
    // The name the class registered under; the object-graph encoding writes it.
    virtual const char* ClassName() const;

    node* Next() const { return next; }
    node* Previous() const { return previous; }
    // True only of a list's sentinel, whose next link is itself.
    bool EOList() const { return next == this; }

protected:
    node* next;
    node* previous;
    // The object's local-data object (a clone of a prototype), owned by the
    // subclass that stored it.
    node* localVariable;

    friend class List;
};
