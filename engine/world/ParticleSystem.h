// A fixed set of particles (sparks, debris, rain) that fly, fade, age and die,
// optionally bouncing off their map's collision shapes. The game supplies an
// init and an update function from its function table; the level runs the
// system once per frame after its map's sprites.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>
#include "QelExport.h"
#include "foundation/Create.h"
#include "foundation/Node.h"
#include "foundation/String.h"
#include "logic/LogicTypes.h"
#include "world/Particle.h"

class Map;

class QEL_API ParticleSystem : public node {
public:
    // A function of the game's function table: like every entry there it
    // takes its subject untyped, here one particle.
    typedef BehaviorFunction ParticleFunction;

    // count default particles; a function number above the table's highest is
    // reported and, like any negative number, means no function.
    ParticleSystem(unsigned int count, int initFunction, int updateFunction);
    // A copy whose particles belong to the copy.
    ParticleSystem(const ParticleSystem& other);
    ParticleSystem& operator=(const ParticleSystem&) = delete;
    ~ParticleSystem() override;

    static void* operator new(std::size_t size);
    static void operator delete(void* p, std::size_t size);

    static node* CreateObject();
    static CREATE cr;
    node* Clone() const override;
    void Load(File& file) override;
    void Save(File& file) override;
    const char* ClassName() const override;

    // Gives every particle its owner and runs the init function on it.
    void Init();
    // One frame: moves the particles (unless paused), then draws them.
    void Update();
    void Display();

    bool Alive() const { return alive; }
    void Pause(bool on) { pause = on; }
    bool Pause() const { return pause; }
    void Unused(bool on) { unused = on; }
    bool Unused() const { return unused; }
    void Gravity(float g) { gravity = g; }
    float Gravity() const { return gravity; }
    void Name(const char* text);
    const char* Name() const { return name; }

    // --- position: on the map, or in the world through the map's position ---
    void MapPositionX(float x) { mapX = x; }
    void MapPositionY(float y) { mapY = y; }
    void MapPosition(float x, float y) {
        mapX = x;
        mapY = y;
    }
    float MapPositionX() const { return mapX; }
    float MapPositionY() const { return mapY; }
    float WorldPositionX();
    float WorldPositionY();
    void WorldPositionX(float x);
    void WorldPositionY(float y);
    void WorldPosition(float x, float y);
    // Inc adds d and keeps the result at most limit; Dec subtracts d and
    // keeps it at least limit.
    void MapPositionXInc(float d, float limit);
    void MapPositionXDec(float d, float limit);
    void MapPositionYInc(float d, float limit);
    void MapPositionYDec(float d, float limit);
    void WorldPositionXInc(float d, float limit);
    void WorldPositionXDec(float d, float limit);
    void WorldPositionYInc(float d, float limit);
    void WorldPositionYDec(float d, float limit);

    // Moves the system to the named map of the current level, keeping its
    // world position; an unknown name is reported and changes nothing.
    void BelongToMap(const char* mapName);
    const char* BelongToMap() const;
    Map* GetMap() const { return map; }

    // The first system of the current level with that name; reported and null
    // when there is none.
    static ParticleSystem* Search(const char* name);
    // Clears the Unused flag of the first unused system with that name.
    void Use(const char* name);
    // A copy added to the current level and initialised; null when the level
    // refuses it.
    ParticleSystem* CreateParticleSystem();

    unsigned int ParticleCount() const { return particleCount; }
    std::int32_t InitFunctionNumber() const { return initNumber; }
    std::int32_t UpdateFunctionNumber() const { return updateNumber; }
    std::vector<Particle>& Particles() { return particles; }

private:
    void ResolveFunctions();

    std::vector<Particle> particles;
    String name;
    Map* map = nullptr;
    float mapX = 0, mapY = 0;
    float gravity = 0;
    bool alive = true;
    bool unused = false;
    std::uint32_t particleCount = 0;
    std::int32_t initNumber = -1, updateNumber = -1;
    ParticleFunction initFunction = nullptr, updateFunction = nullptr;
    bool pause = false;
};
