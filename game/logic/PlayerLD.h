// The player's local data: its running speed and jump strength, cloned from
// the prototype NArray[0] into every player sprite and saved with it.
#pragma once
#include <cstddef>
#include "foundation/Create.h"
#include "foundation/Node.h"

class PlayerLD : public node {
public:
    static constexpr float DefaultRun = 4.25f;
    static constexpr float DefaultJump = 11.5f;

    PlayerLD() = default;
    PlayerLD(const PlayerLD&) = default;
    ~PlayerLD() override = default;

    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);
    static node* CreateObject();
    static CREATE cr;

    float run = DefaultRun;    // horizontal speed, pixels per frame
    float jump = DefaultJump;  // a jump starts at minus jump x 1.05 pixels per frame
};
