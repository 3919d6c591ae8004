// The level file: actors into the actor table, then the level's settings and
// contents into the level being built; files that are short or corrupt are
// refused with a message, never read past their end or their tables.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "common/BmpWriter.h"
#include "LoaderWriter.h"
#include "display/DisplayInternal.h"
#include "foundation/FatalExit.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "input/QelCursor.h"
#include "platform/Surface.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/GameFileLoadersInternal.h"
#include "runtime/GameNode.h"
#include "sprites/AnimationElem.h"
#include "sprites/FrameElem.h"
#include "sprites/Sprite.h"
#include "sprites/SpriteListInternal.h"
#include "world/Map.h"
#include "world/ParticleSystem.h"

namespace {

// A plain 24-bit BMP of one colour.
void WriteBmp(const std::filesystem::path& path, int w, int h) {
    ASSERT_TRUE(bmp24::WriteSolid(path.string(), w, h, 0x404040));
}

constexpr int Actor = 5;

// Actor 5 with an animation of a single frame mirrored both ways and an empty
// one; actor 1000 with no animations.
LoaderWriter Actors() {
    LoaderWriter w;
    w.I32(2);
    w.I32(Actor).I32(2);
    w.I32(1).I32(0).B(false).U8(1).B(true);
    w.Str("walk.bmp").F32(1.5f).F32(2.5f).U32(3).I32(8).I32(6).U32(0x00FF00).B(true).B(true).I32(9);
    for (int i = 1; i <= 10; ++i) w.I32(i);
    w.Rect(0, 0, 7, 5).F32(3).F32(2).B(true).B(true);
    w.I32(2).B(true).Segment(0, 0, 7, 0, 1).B(false).F32(4).F32(3).F32(2).I32(2).U8(1);
    w.I32(0).I32(3);  // no frames: frame count and loop frame only
    w.I32(1000).I32(0);
    return w;
}

LoaderWriter LevelHeader(const LoaderWriter& behaviour = LoaderWriter().Behaviour({{3, 0, false}})) {
    LoaderWriter w;
    w.U32(0x00FF00).U32(2222).U32(3).U32(2).U32(4).B(true);
    for (int i = 1; i <= 16; ++i) w.U8(std::uint8_t(i));
    w.U32(256).U32(128).U32(30).B(true).B(false);
    w.F32(16).F32(0).F32(32).F32(48).F32(0).F32(0);
    w.F32(1).F32(2).F32(3).F32(4).F32(64).F32(48);
    return w.Append(behaviour).Str("pal.bmp").I32(-1);
}

LoaderWriter ParticleSystems() {
    return LoaderWriter().I32(1).U32(10).I32(-1).I32(-1).Str("sparks").Str("master").F32(0.1f).F32(5).F32(6).B(false).B(
        true);
}

LoaderWriter LevelContents(bool withText = true) {
    LoaderWriter w;
    w.B(false);  // no cursor
    w.I32(1).I32(0).Str("boom").Str("missing.wav").B(false).I32(50);
    w.I32(2).Str("score").B(false).F64(12.5).Behaviour().Str("hello").B(true).Str("hi").Behaviour();
    w.I32(3);
    // Master map with one alarm and one shape, no music.
    w.I32(0).Str("master").Str("master.bmp").I32(0).F32(1).F32(2);
    w.B(false).U32(0).B(true).B(false).B(false).I32(64).B(false).Behaviour();
    w.I32(1).Str("zone").B(true).B(false).B(true).Behaviour().I32(1).B(true).Segment(0, 0, 10, 0, 4).I32(-1);
    w.I32(1).B(true).Segment(0, 40, 64, 40, 11).I32(-1).I32(0);
    // Wrapped map: no grid size, collision flag, alarms or shapes.
    w.I32(2).Str("sky").Str("deck.bmp").I32(1).I32(0).I32(0).B(true).Rect(0, 0, 64, 48);
    w.F32(0).F32(0).F32(0.5f).F32(0.5f).B(false).U32(0).B(true).B(false).B(false).Behaviour().I32(-1);
    w.I32(7);  // a map kind that is its 4 bytes alone
    // One sprite.
    w.I32(1).Str("hero").B(true).B(false).B(false).B(false).B(true).Str("master");
    w.U32(4).I32(Actor).I32(0).I32(0).B(false).F32(10).F32(20);
    w.B(true).I32(3).F32(0.5f).B(false).B(false).B(false).B(false).B(false).Behaviour();
    w.B(false);                 // no path state machine: the direction flag follows
    w.B(false).F32(90).F32(0);  // direction by angle
    w.B(false).B(false).B(false).B(false).B(false).B(false).F32(2).I32(0).B(false).B(false);
    w.I32(0).B(false).B(false).F32(0).F32(0).B(false).I32(-1);
    if (!withText) return w.I32(0).Append(ParticleSystems());
    // One text of display type 7 and effect 9: neither is read further or set.
    w.I32(1).Str("label").B(true).B(false).Str("Arial").U32(6).F32(10).U32(400).U32(0xFF);
    w.B(false).B(false).B(false).Rect(0, 0, 40, 20).B(false).U32(0);
    w.B(false).B(false).B(false).I32(7).I32(0).I32(0).I32(0).I32(0).B(false).I32(9).U32(1).U32(2);
    w.B(false).B(false).B(true).Str("txt").B(false).B(false).Behaviour().I32(-1);
    return w.Append(ParticleSystems());
}

LoaderWriter WholeLevelFile() { return Actors().Append(LevelHeader()).Append(LevelContents()); }

class LoaderLevelFile : public ::testing::Test {
protected:
    void SetUp() override {
        std::random_device rd;
        folder = std::filesystem::temp_directory_path() / ("qel-loader-" + std::to_string(rd()));
        std::filesystem::create_directories(folder);
        WriteBmp(folder / "master.bmp", 64, 48);
        WriteBmp(folder / "deck.bmp", 64, 48);
        const String path = (folder.string() + "/").c_str();
        mapsFolder = actorsFolder = currentAssetFolder = path;
        savedDepth = displayDepth;
        displayDepth = 32;
        back = qel::Surface::Create(64, 48, 32);
        pBackBuffer = back.get();
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
    }
    void TearDown() override {
        Close();
        EmptyActorTable();
        pBackBuffer = nullptr;
        displayDepth = savedDepth;
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }

    // The current level, emptied, reading the first `size` bytes of w as its
    // level file. One level serves every file: a new one costs its frame-rate
    // text's font.
    gamefile::Reader& Open(const LoaderWriter& w, std::size_t size) {
        CloseFile();
        if (level == nullptr) {
            level = new GameNode();
            level->LevelFileName = "level.lvl";
            gNode = level;
        }
        level->ParticleSystems().del();
        level->Sounds().del();
        level->Variables().del();
        level->Maps().del();
        for (int n = 0; n < GameNode::DisplayListCount; ++n) level->DisplayList(n).del();
        for (int c = 0; c < GameNode::CounterCount; ++c) level->IdCounter(GameNode::Counter(c), 0);
        EmptyActorTable();
        resource = std::make_unique<ResourceFile>("level.lvl", w.bytes, size);
        _LevelFile = new File("level.lvl", File::Reading);
        reader = std::make_unique<gamefile::Reader>(*_LevelFile);
        return *reader;
    }
    gamefile::Reader& Open(const LoaderWriter& w) { return Open(w, w.Size()); }
    void CloseFile() {
        reader.reset();
        delete _LevelFile;
        _LevelFile = nullptr;
        resource.reset();
    }
    void Close() {
        CloseFile();
        delete level;  // the current level also empties the actor frames
        level = nullptr;
        gNode = nullptr;
    }
    bool ReadWhole(gamefile::Reader& r) { return gamefile::ReadActors(r, *level) && gamefile::ReadLevel(r, *level); }

    std::filesystem::path folder;
    std::unique_ptr<qel::Surface> back;
    std::int32_t savedDepth = 16;
    std::unique_ptr<ResourceFile> resource;
    std::unique_ptr<gamefile::Reader> reader;
    GameNode* level = nullptr;
};

TEST_F(LoaderLevelFile, ActorsFillTheirSlotsWithAnimationsFramesAndMirroredVariants) {
    gamefile::Reader& r = Open(Actors());
    ASSERT_TRUE(gamefile::ReadActors(r, *level)) << r.Fault();
    EXPECT_EQ(_LevelFile->BytesLeft(), 0);
    const SpriteElem& slot = SpriteList[Actor];
    ASSERT_EQ(slot.AnimationCount, 2);
    EXPECT_EQ(slot.Animations[1].FrameCount, 0);
    EXPECT_EQ(slot.Animations[1].LoopFrame, 3);
    EXPECT_EQ(slot.Animations[1].Frames, nullptr);
    const AnimationElem& walk = slot.Animations[0];
    ASSERT_EQ(walk.FrameCount, 1);
    EXPECT_EQ(walk.SFX, nullptr);
    EXPECT_EQ(walk.LoopSFX, 1);
    EXPECT_TRUE(walk.SoundStatus);
    const FrameElem& f = walk.Frames[0];
    EXPECT_STREQ(f.FileName, "walk.bmp");
    EXPECT_FLOAT_EQ(f.CannedX, 1.5f);
    EXPECT_FLOAT_EQ(f.CannedY, 2.5f);
    EXPECT_EQ(f.Delay, 3u);
    EXPECT_EQ(f.Width, 8);
    EXPECT_EQ(f.Height, 6);
    EXPECT_EQ(f.TransparentColor, 0x00FF00u);
    EXPECT_EQ(f.Reserved, 9);
    EXPECT_EQ(f.HotSpots[4].x, 9);
    EXPECT_EQ(f.HotSpots[4].y, 10);
    EXPECT_EQ(f.Box.right, 7);
    EXPECT_EQ(f.Box.bottom, 5);
    EXPECT_FLOAT_EQ(f.CenterX, 3.0f);
    EXPECT_TRUE(f.PegFrame);
    EXPECT_TRUE(f.UseColorKey);
    // Both flips: every mirrored variant was derived from the frame.
    int shapes = 0, hShapes = 0, vShapes = 0, hvShapes = 0;
    for (node* n = f.Collisions.Head(); !n->EOList(); n = n->Next()) ++shapes;
    for (node* n = f.hFCollisions.Head(); !n->EOList(); n = n->Next()) ++hShapes;
    for (node* n = f.vFCollisions.Head(); !n->EOList(); n = n->Next()) ++vShapes;
    for (node* n = f.hvFCollisions.Head(); !n->EOList(); n = n->Next()) ++hvShapes;
    EXPECT_EQ(shapes, 2);
    EXPECT_EQ(hShapes, 2);
    EXPECT_EQ(vShapes, 2);
    EXPECT_EQ(hvShapes, 2);
    EXPECT_NE(f.hFHotSpots[0].x, f.HotSpots[0].x);
    EXPECT_NE(f.vFHotSpots[0].y, f.HotSpots[0].y);
    EXPECT_EQ(SpriteList[1000].AnimationCount, 0);
}

TEST_F(LoaderLevelFile, TheLevelGetsItsSettingsAndContents) {
    gamefile::Reader& r = Open(WholeLevelFile());
    ASSERT_TRUE(ReadWhole(r)) << r.Fault();
    EXPECT_EQ(_LevelFile->BytesLeft(), 0);

    EXPECT_EQ(level->NetworkPort, 2222u);
    EXPECT_EQ(level->DisconnectLevel, 3u);
    EXPECT_EQ(level->RequiredPlayers, 2u);
    EXPECT_EQ(level->MaximumPlayers, 4u);
    EXPECT_TRUE(level->NetworkLevel);
    EXPECT_EQ(level->ApplicationGUID.Data1, 0x04030201u);
    EXPECT_EQ(level->ApplicationGUID.Data4[7], 16);
    EXPECT_EQ(level->WorldWidth(), 256u);
    EXPECT_EQ(level->WorldHeight(), 128u);
    EXPECT_EQ(level->FramesPerSecond(), 30u);
    EXPECT_TRUE(level->QuitOnEscape());
    EXPECT_STREQ(level->PaletteName(), "pal.bmp");
    EXPECT_FLOAT_EQ(level->GetViewPort().MaxInflateBBBottom(), 4.0f);

    // The missing sound file is the sound's own error; nothing was added.
    EXPECT_TRUE(level->Sounds().Head()->EOList());

    Map* master = Map::Search("master");
    Map* sky = Map::Search("sky");
    ASSERT_NE(master, nullptr);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(master->Type(), Map::MasterMap);
    EXPECT_FLOAT_EQ(master->SpeedY(), 2.0f);
    EXPECT_EQ(master->AlarmCount(), 1);
    EXPECT_EQ(sky->Type(), Map::WrappedMap);
    EXPECT_FLOAT_EQ(sky->ScrollRatioX(), 0.5f);
    EXPECT_EQ(sky->AlarmCount(), 0);

    Sprite* hero = Sprite::Search("hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_EQ(hero->DisplayListNumber(), 3);
    EXPECT_EQ(hero->ZOrder(), 4u);
    EXPECT_EQ(hero->ActorIndex(), Actor);
    EXPECT_EQ(hero->Animation(), 0);
    EXPECT_TRUE(hero->networkPlayer);
    EXPECT_STREQ(hero->BelongToMap(), "master");
    EXPECT_FLOAT_EQ(hero->MapPositionX(), 10.0f);
    EXPECT_FLOAT_EQ(hero->Speed(), 2.0f);
    EXPECT_TRUE(hero->CheckCollisionWithMap());

    Variable* hello = Variable::Search("hello");
    ASSERT_NE(hello, nullptr);
    EXPECT_TRUE(*hello == "hi");
    Variable* score = Variable::Search("score");
    Variable* label = Variable::Search("label");
    ASSERT_NE(score, nullptr);
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(*score == 12.5f);
    EXPECT_EQ(label->DisplayType(), Variable().DisplayType());

    ASSERT_FALSE(level->ParticleSystems().Head()->EOList());
    ParticleSystem* sparks = static_cast<ParticleSystem*>(level->ParticleSystems().Head());
    EXPECT_STREQ(sparks->Name(), "sparks");
    EXPECT_EQ(sparks->ParticleCount(), 10u);
    EXPECT_TRUE(sparks->Pause());
    EXPECT_EQ(level->IdCounter(GameNode::ParticleSystemIds), 1);
}

// Every cut of the file is refused; a text builds its font from its settings,
// which is slow, so the cuts inside the text record are made in a file of one
// text and those elsewhere in a file without it.
TEST_F(LoaderLevelFile, EveryShortLevelFileIsRefused) {
    const LoaderWriter withoutText = Actors().Append(LevelHeader()).Append(LevelContents(false));
    const LoaderWriter full = WholeLevelFile();
    const std::size_t textStart = withoutText.Size() - ParticleSystems().Size() - 4;
    const std::size_t textEnd = full.Size() - ParticleSystems().Size();
    std::vector<std::pair<const LoaderWriter*, std::size_t>> cuts;
    for (std::size_t size = 0; size < withoutText.Size(); ++size) cuts.push_back({&withoutText, size});
    for (std::size_t size = textStart; size < textEnd; ++size) cuts.push_back({&full, size});
    for (const auto& [file, size] : cuts) {
        SCOPED_TRACE(size);
        gamefile::Reader& r = Open(*file, size);
        ASSERT_FALSE(ReadWhole(r));
        const std::string fault = r.Fault();
        EXPECT_TRUE(fault.find("ends early") != std::string::npos ||
                    fault.find("more than the data holds") != std::string::npos)
            << fault;
    }
}

// Records at their smallest: every choice takes its shortest branch, every
// text and list is empty. Many of them, with little after them, fill the file
// exactly, so a count check that takes a record for longer refuses the file.
LoaderWriter Repeated(int n, const LoaderWriter& record) {
    LoaderWriter w;
    for (int i = 0; i < n; ++i) w.Append(record);
    return w;
}
LoaderWriter NoBehaviourEntries(int n) { return Repeated(n, LoaderWriter().I32(3)); }
LoaderWriter Circles(int n) { return Repeated(n, LoaderWriter().B(false).F32(1).F32(2).F32(3).I32(1).U8(0)); }
LoaderWriter SmallestFrame(const LoaderWriter& shapes = LoaderWriter().I32(0)) {
    LoaderWriter w;
    w.Str("").F32(0).F32(0).U32(0).I32(0).I32(0).U32(0).B(false).B(false).I32(0);
    for (int i = 0; i < 10; ++i) w.I32(0);
    return w.Rect(0, 0, 0, 0).F32(0).F32(0).B(false).B(false).Append(shapes);
}
LoaderWriter SmallestAlarm() { return LoaderWriter().Str("").B(false).B(false).B(false).Behaviour().I32(0).I32(-1); }
LoaderWriter SmallestMasterMap(const LoaderWriter& alarms, const LoaderWriter& shapes) {
    LoaderWriter w;
    w.I32(0).Str("master").Str("master.bmp").I32(0).F32(0).F32(0);
    w.B(false).U32(0).B(true).B(false).B(false).I32(64).B(false).Behaviour();
    return w.Append(alarms).Append(shapes).I32(-1).I32(0);
}
LoaderWriter SmallestSprite(const LoaderWriter& alarmNames = LoaderWriter().I32(0)) {
    LoaderWriter w;
    w.Str("").B(true).B(false).B(false).B(false).B(false).Str("");
    w.U32(0).I32(0).I32(0).I32(0).B(false).F32(0).F32(0);
    w.B(false).I32(0).F32(0).B(false).B(false).B(false).B(false).B(false).Behaviour();
    w.B(false).B(false).F32(0).F32(0);
    w.B(false).B(false).B(false).B(false).B(false).B(false).F32(0).I32(0).B(false).B(false);
    w.Append(alarmNames);
    return w.B(false).B(false).F32(0).F32(0).B(false).I32(-1);
}
LoaderWriter SmallestText() {
    LoaderWriter w;
    w.Str("").B(false).B(false).Str("").U32(0).F32(0).U32(0).U32(0).B(false).B(false).B(false);
    w.Rect(0, 0, 0, 0).B(false).U32(0);
    w.B(false).B(false).B(false).I32(0);
    w.I32(0).I32(0).I32(0).I32(0).B(false).I32(0).U32(0).U32(0).B(false);
    return w.B(true).Str("").B(false).B(false).Behaviour().I32(-1);
}

// A level part with empty sections, but for those given.
struct LevelSections {
    LoaderWriter header = LevelHeader();
    LoaderWriter sounds = LoaderWriter().I32(0);
    LoaderWriter variables = LoaderWriter().I32(0);
    LoaderWriter maps = LoaderWriter().I32(0);
    LoaderWriter sprites = LoaderWriter().I32(0);
    LoaderWriter texts = LoaderWriter().I32(0);
    LoaderWriter particles = LoaderWriter().I32(0);
    LoaderWriter File() const {
        return LoaderWriter()
            .I32(0)
            .Append(header)
            .B(false)
            .Append(sounds)
            .Append(variables)
            .Append(maps)
            .Append(sprites)
            .Append(texts)
            .Append(particles);
    }
};

TEST_F(LoaderLevelFile, FilesOfRecordsAtTheirSmallestLoadWhole) {
    constexpr int N = 64;
    LevelSections behaviour, sounds, variables, maps, alarms, mapShapes, alarmShapes, sprites, alarmNames, texts,
        particles;
    behaviour.header = LevelHeader(LoaderWriter().I32(N).Append(NoBehaviourEntries(N)));
    sounds.sounds = LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().I32(2).Str("").Str("").B(false)));
    variables.variables = LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().Str("").B(true).Str("").Behaviour()));
    maps.maps = LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().I32(7)));
    alarms.maps = LoaderWriter().I32(1).Append(
        SmallestMasterMap(LoaderWriter().I32(N).Append(Repeated(N, SmallestAlarm())), LoaderWriter().I32(0)));
    mapShapes.maps = LoaderWriter().I32(1).Append(
        SmallestMasterMap(LoaderWriter().I32(0), LoaderWriter().I32(N).Append(Circles(N))));
    alarmShapes.maps = LoaderWriter().I32(1).Append(SmallestMasterMap(
        LoaderWriter().I32(1).Str("").B(false).B(false).B(false).Behaviour().I32(N).Append(Circles(N)).I32(-1),
        LoaderWriter().I32(0)));
    sprites.sprites = LoaderWriter().I32(N).Append(Repeated(N, SmallestSprite()));
    alarmNames.sprites =
        LoaderWriter().I32(1).Append(SmallestSprite(LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().Str("")))));
    constexpr int FewTexts = 8;  // each builds a font; the four bytes after them are fewer
    texts.texts = LoaderWriter().I32(FewTexts).Append(Repeated(FewTexts, SmallestText()));
    particles.particles = LoaderWriter().I32(N).Append(
        Repeated(N, LoaderWriter().U32(0).I32(-1).I32(-1).Str("").Str("").F32(0).F32(0).F32(0).B(false).B(false)));

    struct Case {
        const char* name;
        LoaderWriter file;
        bool actorsOnly;
    };
    const Case cases[] = {
        {"actors", LoaderWriter().I32(N).Append(Repeated(N, LoaderWriter().I32(Actor).I32(0))), true},
        {"animations", LoaderWriter().I32(1).I32(Actor).I32(N).Append(Repeated(N, LoaderWriter().I32(0).I32(0))), true},
        {"frames",
         LoaderWriter().I32(1).I32(Actor).I32(1).I32(N).I32(0).B(false).U8(0).B(false).Append(
             Repeated(N, SmallestFrame())),
         true},
        {"frame shapes",
         LoaderWriter().I32(1).I32(Actor).I32(1).I32(1).I32(0).B(false).U8(0).B(false).Append(
             SmallestFrame(LoaderWriter().I32(N).Append(Circles(N)))),
         true},
        {"behaviour entries", behaviour.File(), false},
        {"sounds", sounds.File(), false},
        {"variables", variables.File(), false},
        {"maps", maps.File(), false},
        {"alarms", alarms.File(), false},
        {"map shapes", mapShapes.File(), false},
        {"alarm shapes", alarmShapes.File(), false},
        {"sprites", sprites.File(), false},
        {"sprite alarms", alarmNames.File(), false},
        {"texts", texts.File(), false},
        {"particle systems", particles.File(), false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        gamefile::Reader& r = Open(c.file);
        ASSERT_TRUE(c.actorsOnly ? gamefile::ReadActors(r, *level) : ReadWhole(r)) << r.Fault();
        EXPECT_EQ(_LevelFile->BytesLeft(), 0);
    }
}

// Every record with every optional part there, in its longer branch.
LoaderWriter LargestLevelFile() {
    LoaderWriter w;
    // An actor whose animation has a sound and a frame mirrored both ways with a segment.
    w.I32(1).I32(Actor).I32(1).I32(1).I32(0);
    w.B(true).Str("step").Str("step.wav").B(true).I32(7).U8(1).B(true);
    w.Str("walk.bmp").F32(1).F32(2).U32(3).I32(8).I32(6).U32(0x00FF00).B(true).B(true).I32(9);
    for (int i = 1; i <= 10; ++i) w.I32(i);
    w.Rect(0, 0, 7, 5).F32(3).F32(2).B(true).B(true).I32(1).B(true).Segment(0, 0, 7, 0, 1, 2, 3);
    w.Append(LevelHeader(LoaderWriter().Behaviour({{0, 0, true}, {1, 0, true}, {2, 0, true}})));
    // The cursor at a given place.
    w.B(true).U32(2000).U32(0).U32(0).B(true).B(false).F32(12.75f).F32(7.5f).Behaviour({{0, 1, false}}).B(true).I32(-1);
    w.I32(1).I32(0).Str("boom").Str("boom.wav").B(true).I32(90);
    w.I32(1).Str("score").B(false).F64(2.5).Behaviour({{2, 1, true}});
    // A master map with its MIDI music; a standard map with an alarm and shapes.
    w.I32(2);
    w.I32(0).Str("master").Str("master.bmp").I32(0).F32(1).F32(2);
    w.B(true).U32(0xFF00FF).B(true).B(false).B(false).I32(32).B(true).Behaviour({{0, 0, true}});
    w.I32(1).Str("zone").B(true).B(true).B(true).Behaviour({{0, 0, true}});
    w.I32(2).B(true).Segment(0, 0, 10, 0, 4, 1, 2).B(false).F32(5).F32(5).F32(3).I32(5).U8(1).I32(-1);
    w.I32(1).B(true).Segment(0, 40, 64, 40, 11, 1, 2).I32(-1);
    w.I32(2).Str("tune");
    w.I32(1).Str("front").Str("deck.bmp").I32(2).I32(3).I32(4).B(false).Rect(0, 0, 64, 48);
    w.F32(1).F32(1).F32(0.5f).F32(0.25f).B(true).U32(0x00FF00).B(true).B(true).B(false).I32(16).B(false);
    w.Behaviour({{0, 0, true}}).I32(0).I32(1).B(true).Segment(1, 1, 2, 2, 3).I32(-1);
    // A sprite with a route, a direction by vector, an alarm and a started movement pattern.
    w.I32(1).Str("hero").B(true).B(false).B(false).B(false).B(false).Str("master");
    w.U32(4).I32(Actor).I32(0).I32(0).B(true).F32(10).F32(20);
    w.B(true).I32(2).F32(0.5f).B(true).B(true).B(true).B(true).B(true).Behaviour({{0, 0, true}});
    w.B(true).U32(0).U32(0).B(true).B(true).U32(1);
    w.B(true).F32(1).F32(0).U32(5);
    w.B(false).B(false).B(false).B(false).B(false).B(false).F32(3).I32(2).B(false).B(false);
    w.I32(1).Str("zone");
    w.B(true).I32(0).B(true).B(true).B(false).B(true);
    w.B(true).F32(50).F32(0.25f).B(true).I32(-1);
    // A text in the world on a map, scrolling both ways, with a letter sound and a number.
    w.I32(1).Str("label").B(true).B(false).Str("Arial").U32(6).F32(10).U32(400).U32(0xFF);
    w.B(true).B(true).B(true).Rect(0, 0, 40, 20).B(true).U32(0x123456);
    w.B(true).B(true).B(true).Str("master").B(true);
    w.I32(4).I32(0x4B).I32(0x4D).U32(3).B(true).I32(0x48).I32(0x50).U32(4).B(false).U32(13).U32(0xABCDEF);
    w.I32(1).I32(2).I32(3).I32(4).B(true).I32(2).U32(5).U32(6);
    w.B(true).Str("boom").B(false).B(false).F64(42).B(true).B(true).Behaviour({{0, 0, true}}).I32(-1);
    return w.Append(ParticleSystems());
}

TEST_F(LoaderLevelFile, AFileOfRecordsAtTheirLargestLoadsWhole) {
    gamefile::Reader& r = Open(LargestLevelFile());
    const bool read = ReadWhole(r);
    std::unique_ptr<QelCursor> cursor(pQelCursor);
    pQelCursor = nullptr;
    ASSERT_TRUE(read) << r.Fault();
    EXPECT_EQ(_LevelFile->BytesLeft(), 0);
    ASSERT_NE(cursor, nullptr);
    EXPECT_EQ(cursor->ViewportPositionX(), 12u);
    EXPECT_EQ(cursor->ViewportPositionY(), 7u);
    Map* front = Map::Search("front");
    ASSERT_NE(front, nullptr);
    EXPECT_EQ(front->AlarmCount(), 0);
    EXPECT_FLOAT_EQ(front->ScrollRatioY(), 0.25f);
    Sprite* hero = Sprite::Search("hero");
    ASSERT_NE(hero, nullptr);
    EXPECT_FLOAT_EQ(hero->Speed(), 3.0f);
    EXPECT_EQ(hero->AlarmCount(), 1);
    EXPECT_FLOAT_EQ(hero->GravityFriction(), 0.25f);
    EXPECT_TRUE(hero->Pause());
    Variable* label = Variable::Search("label");
    ASSERT_NE(label, nullptr);
    EXPECT_TRUE(label->TopMost());
    EXPECT_EQ(label->ArrowsSize(), 12u);
    EXPECT_EQ(label->ArrowsColor(), 0xABCDEFu);
    EXPECT_TRUE(*label == 42.0f);
    EXPECT_TRUE(label->OnlyIntegerPart());
    EXPECT_STREQ(static_cast<ParticleSystem*>(level->ParticleSystems().Head())->Name(), "sparks");
}

// Actor 0 with one mirrored frame of that bitmap, size, first hot spot x and
// box left.
LoaderWriter Frame(const char* bitmap, std::int32_t width, std::int32_t height, std::int32_t hotX,
                   std::int32_t boxLeft) {
    return LoaderWriter()
        .I32(1)
        .I32(0)
        .I32(1)
        .I32(1)
        .I32(0)
        .B(false)
        .U8(0)
        .B(true)
        .Str(bitmap)
        .F32(0)
        .F32(0)
        .U32(0)
        .I32(width)
        .I32(height)
        .U32(0)
        .B(true)
        .B(true)
        .I32(0)
        .Rect(hotX, 0, 0, 0)
        .Rect(0, 0, 0, 0)
        .I32(0)
        .I32(0)
        .Rect(boxLeft, 0, 4, 4)
        .F32(0)
        .F32(0)
        .B(false)
        .B(false)
        .I32(0);
}

TEST_F(LoaderLevelFile, CorruptCountsAndIndicesAreRefusedWithTheirReason) {
    struct Case {
        const char* name;
        LoaderWriter file;
        const char* reason;
    };
    auto inLevel = [](LoaderWriter contents) { return LoaderWriter().I32(0).Append(LevelHeader()).Append(contents); };
    const Case cases[] = {
        {"actor past the table", LoaderWriter().I32(1).I32(1001).I32(0), "actor 1001 is outside the actor table"},
        {"negative actor", LoaderWriter().I32(1).I32(-1).I32(0), "actor -1 is outside"},
        {"actor count beyond the data", LoaderWriter().I32(1 << 29), "count of actors"},
        {"animation count beyond the data", LoaderWriter().I32(1).I32(0).I32(1 << 29), "count of animations"},
        {"frame count beyond the data", LoaderWriter().I32(1).I32(0).I32(1).I32(1 << 20).I32(0), "count of frames"},
        {"negative shape count",
         LoaderWriter()
             .I32(1)
             .I32(0)
             .I32(1)
             .I32(1)
             .I32(0)
             .B(false)
             .U8(0)
             .B(true)
             .Str("f")
             .F32(0)
             .F32(0)
             .U32(0)
             .I32(1)
             .I32(1)
             .U32(0)
             .B(false)
             .B(false)
             .I32(0)
             .Rect(0, 0, 0, 0)
             .Rect(0, 0, 0, 0)
             .I32(0)
             .I32(0)
             .Rect(0, 0, 0, 0)
             .F32(0)
             .F32(0)
             .B(false)
             .B(false)
             .I32(-3),
         "count of collision shapes"},
        {"sprite count beyond the data", inLevel(LoaderWriter().B(false).I32(0).I32(0).I32(0).I32(1 << 24)),
         "count of sprites"},
        {"too many particles",
         inLevel(LoaderWriter()
                     .B(false)
                     .I32(0)
                     .I32(0)
                     .I32(0)
                     .I32(0)
                     .I32(0)
                     .I32(1)
                     .U32(1u << 20)
                     .I32(-1)
                     .I32(-1)
                     .Str("p")
                     .Str("")
                     .F32(0)
                     .F32(0)
                     .F32(0)
                     .B(false)
                     .B(false)),
         "particles, more than"},
        {"text longer than the file", inLevel(LoaderWriter().B(false).I32(1).I32(0).I32(999)), "a text of 999 bytes"},
        // Mirroring a frame works in int32: sizes and points beyond any picture are refused.
        {"frame wider than any picture", Frame("f", 1 << 20, 8, 0, 0), "beyond 16384 pixels"},
        {"hot spot far outside its frame", Frame("f", 8, 8, 0x7FFFFFF0, 0), "beyond 16384 pixels"},
        {"box far outside its frame", Frame("f", 8, 8, 0, -0x7FFFFFF0), "beyond 16384 pixels"},
        // Named files stay in their folders.
        {"frame bitmap above its folder", Frame("..\\..\\secret.bmp", 8, 8, 0, 0), "leaves its folder"},
        {"frame bitmap by absolute path", Frame("/etc/passwd", 8, 8, 0, 0), "leaves its folder"},
        {"sound above its folder", inLevel(LoaderWriter().B(false).I32(1).I32(0).Str("s").Str("../s.wav")),
         "leaves its folder"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        LoaderWriter file = c.file;
        for (int i = 0; i < 40; ++i) file.I32(0);  // room for what the counts promise
        gamefile::Reader& r = Open(file);
        ASSERT_FALSE(ReadWhole(r));
        EXPECT_NE(r.Fault().find(c.reason), std::string::npos) << r.Fault();
    }
}

TEST_F(LoaderLevelFile, ACorruptLevelFileEndsTheProgramNamingTheFile) {
    Open(LoaderWriter().I32(1).I32(1001).I32(0));
    EXPECT_EXIT(GenerateActors(level), testing::ExitedWithCode(FatalExitStatus),
                "The level file level.lvl is corrupt: actor 1001 is outside the actor table");
}

TEST_F(LoaderLevelFile, LoadersWithoutALevelFileReportTheMisuse) {
    GameNode spare;
    struct Case {
        void (*loader)(GameNode*);
        GameNode* level;
        const char* message;
    };
    for (const Case& c :
         {Case{GenerateActors, &spare, "No level file is open."}, Case{GenerateLevel, &spare, "No level file is open."},
          Case{GenerateLevel, nullptr, "No level is given."}}) {
        SCOPED_TRACE(c.message);
        std::memset(_UE.ErrorMessage, 0, sizeof _UE.ErrorMessage);
        c.loader(c.level);
        EXPECT_STREQ(_UE.ErrorMessage, c.message);
    }
}

}  // namespace
