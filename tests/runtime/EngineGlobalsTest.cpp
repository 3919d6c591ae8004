#include <cstdio>
#include <filesystem>
#include <string>

#include <gtest/gtest.h>

#include "foundation/File.h"
#include "logic/LogicTables.h"
#include "logic/StateMachine.h"
#include "logic/Timer.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobalsInternal.h"

namespace {

void Behaviour(void*) {}

}  // namespace

TEST(EngineGlobals, TableLookupsAnswerOnlyInsideTheirTables) {
    FreeGameTables();
    // No tables: every lookup is null.
    EXPECT_EQ(GetFunction(0), nullptr);
    EXPECT_EQ(GetStateMachine(0), nullptr);
    EXPECT_EQ(GetTimer(0), nullptr);
    EXPECT_EQ(GetStateFunction(0), nullptr);

    FArray = NewVoidPointers(2);
    FArray[1] = reinterpret_cast<void*>(&Behaviour);
    maxFIndex = 1;
    SMArray = NewStateMachines(3);
    maxSMIndex = 2;
    TMArray = NewTimers(1);
    maxTMIndex = 0;
    SMFArray = NewVoidPointers(2);
    SMFArray[0] = reinterpret_cast<void*>(&Behaviour);

    // FArray holds 2 entries, SMArray 3, TMArray 1.
    struct Case {
        int index;
        bool stateMachine, timer;
    };
    for (const Case& c : {Case{-1, false, false}, Case{0, true, true}, Case{1, true, false}, Case{2, true, false},
                          Case{3, false, false}}) {
        EXPECT_EQ(GetStateMachine(c.index), c.stateMachine ? &SMArray[c.index] : nullptr) << c.index;
        EXPECT_EQ(GetTimer(c.index), c.timer ? &TMArray[c.index] : nullptr) << c.index;
        EXPECT_EQ(GetTimerFunction(c.index), GetFunction(c.index)) << c.index;
    }
    EXPECT_EQ(GetFunction(-1), nullptr);
    EXPECT_EQ(GetFunction(2), nullptr);
    EXPECT_EQ(GetFunction(1), reinterpret_cast<void*>(&Behaviour));
    EXPECT_EQ(GetStateFunction(0), reinterpret_cast<void*>(&Behaviour));
    EXPECT_EQ(GetEdgeFunction(-1), nullptr);
    FreeGameTables();
}

TEST(EngineGlobals, FreeingTheTablesForgetsThemAndCanBeRepeated) {
    FArray = NewVoidPointers(2);
    maxFIndex = 1;
    SMArray = NewStateMachines(2);
    maxSMIndex = 1;
    TMArray = NewTimers(2);
    maxTMIndex = 1;
    NArray = NewNodePointers(2);
    maxNIndex = 1;
    SMFArray = NewVoidPointers(1);
    LVFArray = NewVoidPointers(1);
    maxPSMIndex = 1;
    maxMPIndex = 1;
    for (int round = 0; round < 2; ++round) {
        FreeGameTables();
        EXPECT_EQ(FArray, nullptr);
        EXPECT_EQ(SMArray, nullptr);
        EXPECT_EQ(TMArray, nullptr);
        EXPECT_EQ(NArray, nullptr);
        EXPECT_EQ(SMFArray, nullptr);
        EXPECT_EQ(LVFArray, nullptr);
        EXPECT_EQ(maxFIndex, -1);
        EXPECT_EQ(maxSMIndex, -1);
        EXPECT_EQ(maxTMIndex, -1);
        EXPECT_EQ(maxNIndex, -1);
        EXPECT_EQ(maxPSMIndex, -1);
        EXPECT_EQ(maxMPIndex, -1);
        EXPECT_EQ(GetStateMachine(0), nullptr);
    }
}

TEST(EngineGlobals, BinaryGameFileComesFromTheProgramResourceElseTheDataFolder) {
    const std::string folder = std::filesystem::temp_directory_path().string() + "/qel-gamefile-test";
    std::filesystem::create_directories(folder);
    {
        std::FILE* f = std::fopen((folder + "/game.dat").c_str(), "wb");
        std::fputc('D', f);
        std::fclose(f);
    }
    static const unsigned char resourceBytes[] = {'R'};
    static const qel::ResourceEntry entries[] = {{"RCDATA", "embedded.dat", resourceBytes, 1}};
    static const qel::ResourceTable table = {entries, 1};
    qel::SetProgramResources(&table);
    dataFolder = (folder + "/").c_str();

    struct Case {
        const char* name;
        char first;
    };
    for (const Case& c : {Case{"embedded.dat", 'R'}, Case{"game.dat", 'D'}}) {
        CreateBinaryGameFile(c.name);
        ASSERT_NE(_GameFile, nullptr);
        char got = 0;
        _GameFile->Read(got);
        EXPECT_EQ(got, c.first) << c.name;
        delete _GameFile;
        _GameFile = nullptr;
    }
    qel::SetProgramResources(nullptr);
    dataFolder = "";
    std::filesystem::remove_all(folder);
}

TEST(EngineGlobals, MainCharacterIsForgottenWhenItsSpriteGoes) {
    int a = 0, b = 0;
    Sprite* first = reinterpret_cast<Sprite*>(&a);
    Sprite* second = reinterpret_cast<Sprite*>(&b);
    pMainCharacter = first;
    ForgetMainCharacter(second);
    EXPECT_EQ(pMainCharacter, first);
    ForgetMainCharacter(first);
    EXPECT_EQ(pMainCharacter, nullptr);
}
