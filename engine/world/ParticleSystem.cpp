#include "world/ParticleSystem.h"

#include <cmath>
#include <cstring>

#include "display/DisplayInternal.h"
#include "display/Screen.h"
#include "foundation/File.h"
#include "foundation/ClassPool.h"
#include "foundation/FloatToInt.h"
#include "foundation/UserError.h"
#include "logic/CallbackOwner.h"
#include "logic/LogicTables.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameFileLoadersInternal.h"
#include "runtime/GameNode.h"
#include "world/LevelViewInternal.h"
#include "world/Map.h"
#include "world/ViewPort.h"

namespace {

// The function of that number, or null outside the table.
ParticleSystem::ParticleFunction TableFunction(std::int32_t number) {
    if (number < 0 || number > maxFIndex || FArray == nullptr) return nullptr;
    return reinterpret_cast<BehaviorFunction>(FArray[number]);
}

// The level takes the system at the front of its list, counting it.
bool AddToLevel(ParticleSystem* system) { return gNode != nullptr && gNode->Add(system); }

bool IsMap(node* p) { return p != nullptr && std::strcmp(p->ClassName(), "Map") == 0; }

}  // namespace

CREATE ParticleSystem::cr("ParticleSystem", ParticleSystem::CreateObject);

void* ParticleSystem::operator new(std::size_t size) { return ClassPool<ParticleSystem>::Alloc(size); }

void ParticleSystem::operator delete(void* p, std::size_t size) { ClassPool<ParticleSystem>::Free(p, size); }

ParticleSystem::ParticleSystem(unsigned int count, int init, int update)
    : particleCount(count), initNumber(init), updateNumber(update) {
    for (int number : {init, update})
        if (number > maxFIndex)
            UserError::Report("ParticleSystem::ParticleSystem(unsigned int,int,int)",
                              "The function %d cannot be found.", number);
    ResolveFunctions();
    // The bound of a level file's systems: a count past it (a negative number
    // cast) would take all memory, so the system is made without particles.
    if (count > gamefile::MaxParticles) {
        UserError::Report("ParticleSystem::ParticleSystem(unsigned int,int,int)",
                          "A particle system can hold at most %u particles, not %u.", gamefile::MaxParticles, count);
        particleCount = count = 0;
    }
    particles.resize(count);
    Init();
}

ParticleSystem::ParticleSystem(const ParticleSystem& other)
    : node(other),
      particles(other.particles),
      name(other.name),
      map(other.map),
      mapX(other.mapX),
      mapY(other.mapY),
      gravity(other.gravity),
      alive(other.alive),
      unused(other.unused),
      particleCount(other.particleCount),
      initNumber(other.initNumber),
      updateNumber(other.updateNumber),
      initFunction(other.initFunction),
      updateFunction(other.updateFunction),
      pause(other.pause) {
    // The copied particles must not keep pointing at the original, which may go first.
    for (Particle& p : particles) p.Owner(this);
}

ParticleSystem::~ParticleSystem() = default;

node* ParticleSystem::CreateObject() { return new ParticleSystem(0, -1, -1); }

node* ParticleSystem::Clone() const { return new ParticleSystem(*this); }

const char* ParticleSystem::ClassName() const { return "ParticleSystem"; }

void ParticleSystem::ResolveFunctions() {
    initFunction = TableFunction(initNumber);
    updateFunction = TableFunction(updateNumber);
}

void ParticleSystem::Init() {
    for (Particle& p : particles) {
        p.Owner(this);
        if (initFunction == nullptr) continue;
        const qel::CallbackOwnerScope particleOwner(&p, nullptr);  // a particle is no engine object
        initFunction(static_cast<void*>(&p));
    }
}

// --- per frame ---

void ParticleSystem::Update() {
    if (updateFunction == nullptr || !alive) return;
    if (!pause) {
        std::uint32_t dead = 0;
        for (Particle& p : particles) {
            if (p.Step(gravity) && ++dead == particleCount) alive = false;
            p.AfterStep(mapX, mapY);
            if (p.CheckCollisionWithMap()) {
                const float dx = p.DisplacementX(), dy = p.DisplacementY();
                p.CollisionWithMap(map, std::sqrt(dx * dx + dy * dy));
            }
            const qel::CallbackOwnerScope particleOwner(&p, nullptr);
            updateFunction(static_cast<void*>(&p));
        }
    }
    Display();
}

void ParticleSystem::Display() {
    if (pScreen == nullptr) return;
    const ViewPort& view = LevelViewPort();
    const float viewX = view.WorldXPos(), viewY = view.WorldYPos();
    const bool onMaster = map == nullptr || map->Type() == Map::MasterMap;
    const float mapWorldX = onMaster ? 0.0f : map->WorldPositionX();
    const float mapWorldY = onMaster ? 0.0f : map->WorldPositionY();
    pScreen->Start();
    for (const Particle& p : particles) {
        if (p.Dead() || !p.Visible() || p.BirthDelay() != 0) continue;
        const float sx = onMaster ? p.PositionX() + mapX - viewX : mapWorldX - viewX + p.PositionX() + mapX;
        const float sy = onMaster ? mapY - p.PositionY() - viewY : mapWorldY - viewY - p.PositionY() + mapY;
        const std::int64_t left = TruncToInt32(sx), top = TruncToInt32(sy);
        // Only the part of the square on the screen is visited: a huge size
        // must not cost a frame.
        const std::int64_t x0 = std::max<std::int64_t>(left, 0), y0 = std::max<std::int64_t>(top, 0);
        const std::int64_t x1 = std::min<std::int64_t>(left + p.Size(), displayWidth);
        const std::int64_t y1 = std::min<std::int64_t>(top + p.Size(), displayHeight);
        const COLORREF colour = COLORREF(p.Color());
        for (std::int64_t py = y0; py < y1; ++py)
            for (std::int64_t px = x0; px < x1; ++px) pScreen->SetPixel(int(px), int(py), colour);
    }
    pScreen->Stop();
}

// --- names and positions ---

void ParticleSystem::Name(const char* text) {
    if (text == nullptr) {
        UserError::Report("void ParticleSystem::Name(const char *)", "Invalid name.");
        return;
    }
    name = text;
}

float ParticleSystem::WorldPositionX() { return map != nullptr ? mapX + map->WorldPositionX() : mapX; }

float ParticleSystem::WorldPositionY() { return map != nullptr ? mapY + map->WorldPositionY() : mapY; }

void ParticleSystem::WorldPositionX(float x) { mapX = map != nullptr ? x - map->WorldPositionX() : x; }

void ParticleSystem::WorldPositionY(float y) { mapY = map != nullptr ? y - map->WorldPositionY() : y; }

void ParticleSystem::WorldPosition(float x, float y) {
    WorldPositionX(x);
    WorldPositionY(y);
}

void ParticleSystem::MapPositionXInc(float d, float limit) {
    mapX += d;
    if (mapX > limit) mapX = limit;
}

void ParticleSystem::MapPositionXDec(float d, float limit) {
    mapX -= d;
    if (mapX < limit) mapX = limit;
}

void ParticleSystem::MapPositionYInc(float d, float limit) {
    mapY += d;
    if (mapY > limit) mapY = limit;
}

void ParticleSystem::MapPositionYDec(float d, float limit) {
    mapY -= d;
    if (mapY < limit) mapY = limit;
}

void ParticleSystem::WorldPositionXInc(float d, float limit) {
    float x = WorldPositionX() + d;
    if (x > limit) x = limit;
    WorldPositionX(x);
}

void ParticleSystem::WorldPositionXDec(float d, float limit) {
    float x = WorldPositionX() - d;
    if (x < limit) x = limit;
    WorldPositionX(x);
}

void ParticleSystem::WorldPositionYInc(float d, float limit) {
    float y = WorldPositionY() + d;
    if (y > limit) y = limit;
    WorldPositionY(y);
}

void ParticleSystem::WorldPositionYDec(float d, float limit) {
    float y = WorldPositionY() - d;
    if (y < limit) y = limit;
    WorldPositionY(y);
}

void ParticleSystem::BelongToMap(const char* mapName) {
    Map* found = Map::Search(mapName);
    if (found == map) return;
    if (found == nullptr) {
        UserError::Report("void ParticleSystem::BelongToMap(const char *)",
                          "The map name \"%s\" that the Particle System \"%s\" should belong to, does not exist.",
                          mapName != nullptr ? mapName : "", (const char*)name);
        return;
    }
    const float x = WorldPositionX(), y = WorldPositionY();
    map = found;
    WorldPosition(x, y);
}

const char* ParticleSystem::BelongToMap() const { return map != nullptr ? map->Name() : nullptr; }

// --- the level's systems ---

ParticleSystem* ParticleSystem::Search(const char* text) {
    if (gNode != nullptr && text != nullptr) {
        List& systems = gNode->ParticleSystems();
        for (node* n = systems.Head(); !n->EOList(); n = n->Next())
            if (std::strcmp(static_cast<ParticleSystem*>(n)->name, text) == 0) return static_cast<ParticleSystem*>(n);
    }
    UserError::Report("ParticleSystem* ParticleSystem::Search(char *)", "Particle System %s not found.",
                      text != nullptr ? text : "");
    return nullptr;
}

void ParticleSystem::Use(const char* text) {
    if (gNode != nullptr && text != nullptr) {
        List& systems = gNode->ParticleSystems();
        for (node* n = systems.Head(); !n->EOList(); n = n->Next()) {
            auto* system = static_cast<ParticleSystem*>(n);
            if (system->unused && std::strcmp(system->name, text) == 0) {
                system->unused = false;
                return;
            }
        }
    }
    UserError::Report("void ParticleSystem::Use(char *)", "Particle System %s not found.", text != nullptr ? text : "");
}

ParticleSystem* ParticleSystem::CreateParticleSystem() {
    auto* copy = new ParticleSystem(*this);
    if (!AddToLevel(copy)) {
        delete copy;
        return nullptr;
    }
    copy->Init();
    return copy;
}

// --- record ---

void ParticleSystem::Save(File& file) {
    file.Write(std::int32_t(particles.size()));
    for (const Particle& p : particles) p.Save(file);
    file.Write(static_cast<node*>(map));
    name.Save(file);
    file.Write(mapX);
    file.Write(mapY);
    file.Write(gravity);
    file.Write(alive);
    file.Write(unused);
    file.Write(particleCount);
    file.Write(pause);
    file.Write(initNumber);
    file.Write(updateNumber);
}

void ParticleSystem::Load(File& file) {
    std::int32_t count = 0;
    file.Read(count);
    // Each particle is a fixed record: a count the file cannot hold is corrupt.
    if (count < 0 || count > file.BytesLeft() / Particle::RecordSize) file.SetError();
    if (file.HasError()) return;
    std::vector<Particle> read(static_cast<std::size_t>(count));
    for (Particle& p : read) {
        p.Load(file);
        p.Owner(this);
    }
    node* mapRef = nullptr;
    file.Read(mapRef);
    // The map belongs to the level's map list; anything else is refused, and
    // an object made just for this reference, which nobody owns, is freed.
    if (mapRef != nullptr && !IsMap(mapRef)) {
        if (file.Claim(mapRef)) delete mapRef;
        file.SetError();
        return;
    }
    particles = std::move(read);
    map = static_cast<Map*>(mapRef);
    name.Load(file);
    file.Read(mapX);
    file.Read(mapY);
    file.Read(gravity);
    file.Read(alive);
    file.Read(unused);
    file.Read(particleCount);
    file.Read(pause);
    file.Read(initNumber);
    file.Read(updateNumber);
    ResolveFunctions();
}
