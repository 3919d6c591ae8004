#include <cstdint>
#include <string>
#include <vector>

#include "ParticleFixture.h"
#include "foundation/Random.h"
#include "world/Map.h"
#include "world/ParticleSystemPTR.h"

namespace {

class ParticleSystemTest : public ParticleFixture {
protected:
    // A level-owned system of that name.
    ParticleSystem* Add(const char* name, unsigned count = 2) {
        auto* s = new ParticleSystem(count, -1, -1);
        s->Name(name);
        level->ParticleSystems().add(s);
        return s;
    }
};

TEST_F(ParticleSystemTest, UnknownFunctionNumbersAreReportedAndNotUsed) {
    int inits = 0;
    onInit() = [&inits](Particle*) { ++inits; };
    ParticleSystem s(10, 500, -1);
    EXPECT_STREQ(_UE.TargetFunction, "ParticleSystem::ParticleSystem(unsigned int,int,int)");
    EXPECT_STREQ(_UE.ErrorMessage, "The function 500 cannot be found.");
    EXPECT_EQ(inits, 0);
    EXPECT_EQ(s.Particles().size(), 10u);
    for (Particle& p : s.Particles()) EXPECT_EQ(p.Owner(), &s);

    ParticleSystem negative(3, -7, Init);
    EXPECT_EQ(inits, 0) << "a negative number is no function either";
    ParticleSystem good(3, Init, Update);
    EXPECT_EQ(inits, 3);
}

TEST_F(ParticleSystemTest, ACountPastTheBoundIsReportedAndMakesNoParticles) {
    // -1 as a count, for one, would ask for all the memory there is.
    ParticleSystem huge(static_cast<unsigned int>(-1), -1, -1);
    EXPECT_STREQ(_UE.TargetFunction, "ParticleSystem::ParticleSystem(unsigned int,int,int)");
    EXPECT_STREQ(_UE.ErrorMessage, "A particle system can hold at most 65536 particles, not 4294967295.");
    EXPECT_EQ(huge.ParticleCount(), 0u);
    EXPECT_TRUE(huge.Particles().empty());
    ParticleSystem largest(1u << 16, -1, -1);
    EXPECT_EQ(largest.Particles().size(), 65536u);
}

TEST_F(ParticleSystemTest, ARecordRoundTripsAndRestoresItsFunctions) {
    auto s = System(3, [](Particle* p) {
        p->Angle(30);
        p->Velocity(4);
        p->MaximumAge(20);
        p->Color(0x102030, 0x405060);
    });
    s->Name("sparks");
    s->MapPosition(12.5f, -3);
    s->Gravity(0.25f);
    s->Unused(true);
    Frame(*s);
    Frame(*s);
    const std::vector<unsigned char> bytes = SaveBytes(*s);
    ASSERT_EQ(bytes.size(), 4 + 3 * 172 + 4 + (4 + 6) + 12 + 2 + 4 + 1 + 8u);

    ParticleSystem loaded(0, -1, -1);
    ASSERT_TRUE(LoadBytes(loaded, bytes));
    EXPECT_EQ(SaveBytes(loaded, "again.bin"), bytes);
    EXPECT_STREQ(loaded.Name(), "sparks");
    EXPECT_EQ(loaded.ParticleCount(), 3u);
    for (Particle& p : loaded.Particles()) EXPECT_EQ(p.Owner(), &loaded);
    int updates = 0;
    onUpdate() = [&updates](Particle*) { ++updates; };
    Frame(*s);
    Frame(loaded);
    EXPECT_EQ(updates, 6) << "the update function came back from the table";
    EXPECT_EQ(SaveBytes(loaded, "next.bin"), SaveBytes(*s, "nextOriginal.bin"));
}

TEST_F(ParticleSystemTest, HostileRecordsLoadWithoutHarm) {
    auto s = System(2, [](Particle* p) { p->MaximumAge(5); });
    s->Name("ok");
    const std::vector<unsigned char> good = SaveBytes(*s);
    auto withCount = [&good](std::int32_t n) {
        std::vector<unsigned char> b = good;
        for (int i = 0; i < 4; ++i) b[std::size_t(i)] = (unsigned char)(std::uint32_t(n) >> (8 * i));
        return b;
    };
    // A map reference that names another class.
    {
        File f(dir.File("notamap.bin").c_str(), File::Writing);
        f.Write(std::int32_t(0));
        Random r;
        f.Write(static_cast<node*>(&r));
    }
    const std::vector<unsigned char> cases[] = {withCount(-1),
                                                withCount(0x7FFFFFFF),
                                                withCount(3),
                                                std::vector<unsigned char>(good.begin(), good.begin() + 200),
                                                TempDir::ReadAll(dir.File("notamap.bin")),
                                                {}};
    for (const auto& bad : cases) {
        ParticleSystem target(1, -1, Update);
        target.Name("kept");
        EXPECT_FALSE(LoadBytes(target, bad));
        EXPECT_EQ(target.Particles().size(), 1u);
        EXPECT_EQ(target.GetMap(), nullptr);
        Frame(target);
    }

    // Function numbers outside the table: loaded, kept, never called.
    std::vector<unsigned char> farFunctions = good;
    const std::size_t numbers = farFunctions.size() - 8;
    for (auto [at, n] : {std::pair<std::size_t, std::int32_t>{numbers, 500}, {numbers + 4, -7}})
        for (int i = 0; i < 4; ++i) farFunctions[at + std::size_t(i)] = (unsigned char)(std::uint32_t(n) >> (8 * i));
    ParticleSystem far(0, -1, -1);
    ASSERT_TRUE(LoadBytes(far, farFunctions));
    EXPECT_EQ(far.InitFunctionNumber(), 500);
    EXPECT_EQ(far.UpdateFunctionNumber(), -7);
    Frame(far);
    EXPECT_EQ(far.Particles()[0].Age(), 0u);
    EXPECT_EQ(SaveBytes(far, "far.bin"), farFunctions);
}

TEST_F(ParticleSystemTest, SearchUseAndHandlesFindTheLevelsSystems) {
    ParticleSystem* rain = Add("rain");
    Add("smoke")->Unused(true);
    ParticleSystem* secondSmoke = Add("smoke");
    EXPECT_EQ(ParticleSystem::Search("rain"), rain);
    EXPECT_EQ(ParticleSystem::Search("smoke"), secondSmoke) << "the first from the head";
    EXPECT_EQ(ParticleSystem::Search("fog"), nullptr);
    EXPECT_STREQ(_UE.ErrorMessage, "Particle System fog not found.");
    EXPECT_STREQ(_UE.TargetFunction, "ParticleSystem* ParticleSystem::Search(char *)");
    EXPECT_EQ(ParticleSystem::Search(nullptr), nullptr);

    rain->Use("smoke");
    EXPECT_FALSE(secondSmoke->Unused());
    int stillUnused = 0;
    for (node* n = level->ParticleSystems().Head(); !n->EOList(); n = n->Next())
        stillUnused += static_cast<ParticleSystem*>(n)->Unused();
    EXPECT_EQ(stillUnused, 0);
    rain->Use("smoke");
    EXPECT_STREQ(_UE.ErrorMessage, "Particle System smoke not found.");
    EXPECT_STREQ(_UE.TargetFunction, "void ParticleSystem::Use(char *)");

    ParticleSystemPTR found("rain");
    EXPECT_EQ(static_cast<ParticleSystem*>(found), rain);
    ParticleSystemPTR missing("fog");
    EXPECT_EQ(static_cast<ParticleSystem*>(missing), ParticleSystemPTR::dummyParticleSystemPTR);
    missing->Update();
    found = nullptr;
    EXPECT_EQ(static_cast<ParticleSystem*>(found), rain);

    rain->Name(nullptr);
    EXPECT_STREQ(_UE.ErrorMessage, "Invalid name.");
    EXPECT_STREQ(_UE.TargetFunction, "void ParticleSystem::Name(const char *)");
    EXPECT_STREQ(rain->Name(), "rain");
}

TEST_F(ParticleSystemTest, CreateParticleSystemAddsAnInitialisedCopyToTheLevel) {
    int inits = 0;
    auto prototype = System(4, [&inits](Particle* p) {
        ++inits;
        p->MaximumAge(9);
    });
    prototype->Name("burst");
    prototype->MapPosition(7, 8);
    const int before = level->IdCounter(GameNode::ParticleSystemIds);
    ParticleSystem* copy = prototype->CreateParticleSystem();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(inits, 8);
    EXPECT_EQ(level->ParticleSystems().Head(), copy);
    EXPECT_EQ(level->IdCounter(GameNode::ParticleSystemIds), before + 1);
    EXPECT_STREQ(copy->Name(), "burst");
    EXPECT_FLOAT_EQ(copy->MapPositionY(), 8);
    for (Particle& p : copy->Particles()) EXPECT_EQ(p.Owner(), copy);

    // A clone is neither added nor initialised, but its particles are its own.
    std::unique_ptr<node> clone(prototype->Clone());
    auto* cloned = static_cast<ParticleSystem*>(clone.get());
    EXPECT_EQ(inits, 8);
    for (Particle& p : cloned->Particles()) EXPECT_EQ(p.Owner(), cloned);

    gNode = nullptr;
    EXPECT_EQ(prototype->CreateParticleSystem(), nullptr) << "no level to take it";
}

TEST_F(ParticleSystemTest, PositionsMoveWithinTheirLimitsAndAcrossMaps) {
    auto* map = new Map();
    map->Name("hill");
    map->WorldPositionX(100);
    map->WorldPositionY(40);
    level->Add(map);
    ParticleSystem s(0, -1, -1);
    s.Name("dust");
    s.WorldPosition(130, 60);
    s.BelongToMap("hill");
    EXPECT_STREQ(s.BelongToMap(), "hill");
    EXPECT_FLOAT_EQ(s.MapPositionX(), 30);
    EXPECT_FLOAT_EQ(s.MapPositionY(), 20);
    EXPECT_FLOAT_EQ(s.WorldPositionX(), 130);

    s.BelongToMap("nowhere");
    EXPECT_STREQ(_UE.ErrorMessage,
                 "The map name \"nowhere\" that the Particle System \"dust\" should belong to, does not exist.");
    EXPECT_STREQ(_UE.TargetFunction, "void ParticleSystem::BelongToMap(const char *)");
    EXPECT_STREQ(s.BelongToMap(), "hill");

    struct Case {
        void (ParticleSystem::*move)(float, float);
        float d, limit;
        float x, y;  // map position afterwards, from (30, 20)
    };
    const Case cases[] = {
        {&ParticleSystem::MapPositionXInc, 5, 100, 35, 20},   {&ParticleSystem::MapPositionXInc, 5, 32, 32, 20},
        {&ParticleSystem::MapPositionXDec, 5, 0, 25, 20},     {&ParticleSystem::MapPositionXDec, 5, 28, 28, 20},
        {&ParticleSystem::MapPositionYInc, 5, 22, 30, 22},    {&ParticleSystem::MapPositionYDec, 50, -10, 30, -10},
        {&ParticleSystem::WorldPositionXInc, 5, 132, 32, 20}, {&ParticleSystem::WorldPositionXDec, 5, 0, 25, 20},
        {&ParticleSystem::WorldPositionYInc, 5, 500, 30, 25}, {&ParticleSystem::WorldPositionYDec, 30, 45, 30, 5},
    };
    for (const Case& c : cases) {
        s.MapPosition(30, 20);
        (s.*c.move)(c.d, c.limit);
        EXPECT_FLOAT_EQ(s.MapPositionX(), c.x) << c.d << " " << c.limit;
        EXPECT_FLOAT_EQ(s.MapPositionY(), c.y) << c.d << " " << c.limit;
    }
}

}  // namespace
