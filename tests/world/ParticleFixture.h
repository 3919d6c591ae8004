// Shared set-up of the particle tests: a function table whose init and update
// entries call test-supplied functions, a small 32-bit back buffer with its
// pixel access, a level to hold maps and systems, and record helpers.
#pragma once
#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "TempDir.h"
#include "display/DisplayInternal.h"
#include "display/Screen.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/LogicTables.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobals.h"
#include "runtime/GameNode.h"
#include "world/LevelViewInternal.h"
#include "world/Particle.h"
#include "world/ParticleSystem.h"
#include "world/ViewPort.h"

class ParticleFixture : public ::testing::Test {
protected:
    // Function numbers of the table.
    static constexpr int Init = 0;
    static constexpr int Update = 1;

    void SetUp() override {
        savedTable = FArray;
        savedMax = maxFIndex;
        table[Init] = reinterpret_cast<void*>(&CallInit);
        table[Update] = reinterpret_cast<void*>(&CallUpdate);
        FArray = table;
        maxFIndex = 3;
        onInit() = [](Particle*) {};
        onUpdate() = [](Particle*) {};
        saved[0] = displayWidth;
        saved[1] = displayHeight;
        saved[2] = displayDepth;
        displayWidth = 64;
        displayHeight = 48;
        displayDepth = 32;
        back = qel::Surface::Create(64, 48, 32);
        pBackBuffer = back.get();
        screen = std::make_unique<Screen>(*back);
        pScreen = screen.get();
        level = std::make_unique<GameNode>();
        gNode = level.get();
        View(0, 0);
        _UE = UserError();
    }
    void TearDown() override {
        gNode = nullptr;
        level.reset();
        View(0, 0);
        pScreen = nullptr;
        pBackBuffer = nullptr;
        displayWidth = saved[0];
        displayHeight = saved[1];
        displayDepth = saved[2];
        FArray = savedTable;
        maxFIndex = savedMax;
    }

    static void View(float x, float y) { LevelViewPort() = ViewPort(2000, 1000, x, y, 64, 48); }

    static std::function<void(Particle*)>& onInit() {
        static std::function<void(Particle*)> f;
        return f;
    }
    static std::function<void(Particle*)>& onUpdate() {
        static std::function<void(Particle*)> f;
        return f;
    }
    static void CallInit(Particle* p) { onInit()(p); }
    static void CallUpdate(Particle* p) { onUpdate()(p); }

    // A system of `count` particles, each set up by `init`, with the update entry.
    std::unique_ptr<ParticleSystem> System(unsigned count, std::function<void(Particle*)> init, int update = Update) {
        onInit() = std::move(init);
        return std::unique_ptr<ParticleSystem>(new ParticleSystem(count, Init, update));
    }

    void Frame(ParticleSystem& s) {
        back->Fill(nullptr, 0);
        s.Update();
    }
    int Lit() const {
        int n = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) n += back->GetRawPixel(x, y) != 0;
        return n;
    }

    template <class T>
    std::vector<unsigned char> SaveBytes(T& object, const std::string& name = "record.bin") {
        {
            File f(dir.File(name).c_str(), File::Writing);
            object.Save(f);
        }
        return TempDir::ReadAll(dir.File(name));
    }
    template <class T>
    bool LoadBytes(T& object, const std::vector<unsigned char>& bytes, const std::string& name = "load.bin") {
        TempDir::WriteAll(dir.File(name), bytes);
        File f(dir.File(name).c_str(), File::Reading);
        object.Load(f);
        return !f.HasError();
    }

    TempDir dir;
    void* table[4] = {};
    void** savedTable = nullptr;
    std::int32_t savedMax = -1;
    std::int32_t saved[3] = {};
    std::unique_ptr<qel::Surface> back;
    std::unique_ptr<Screen> screen;
    std::unique_ptr<GameNode> level;
};
