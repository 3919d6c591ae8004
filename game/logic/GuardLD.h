// A second kind of local data that the game registers (prototype NArray[1])
// and saves like the player's; no level attaches it.
#pragma once
#include <cstddef>
#include "foundation/Create.h"
#include "foundation/Node.h"

class GuardLD : public node {
public:
    GuardLD() = default;
    GuardLD(const GuardLD&) = default;
    ~GuardLD() override = default;

    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);
    static node* CreateObject();
    static CREATE cr;

    bool flag = false;
    float valueA = 4.0f;
    float valueB = 3.0f;
};
