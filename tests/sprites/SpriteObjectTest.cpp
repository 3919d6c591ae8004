#include <unistd.h>

#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "SpriteFixture.h"
#include "foundation/File.h"
#include "input/Mouse.h"
#include "sprites/Query.h"
#include "sprites/SpritePTR.h"

namespace {

std::vector<char> Bytes(const std::filesystem::path& p) {
    std::ifstream in(p, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::filesystem::path TempFile(const char* name) {
    auto dir = std::filesystem::temp_directory_path() / ("qel-sprites-test-" + std::to_string(getpid()));
    std::filesystem::create_directories(dir);
    return dir / name;
}

void SaveTo(const std::filesystem::path& p, Sprite* s) {
    File f(p.c_str(), File::Writing);
    f.Write(static_cast<node*>(s));
    ASSERT_TRUE(f.Close());
}

}  // namespace

TEST_F(SpriteTest, RecordSavedLoadedAndSavedAgainIsByteIdentical) {
    Sprite* a = Add("hero");
    Sprite* b = Add("other", Peg);
    a->MapPosition(12.5f, -3.25f, false);
    a->Animation(1);
    a->Speed(3.5f);
    a->VectorDirection(3, 4, 0);
    a->Gravity(true, 40);
    a->Friction(12);
    a->VariableNumber(2);
    a->localVariables[0] = 7;
    a->localVariables[1] = "text";
    a->HFlip(true);
    a->Visible(false);
    a->ZOrder(9);
    a->MapPositionX(20, true);
    a->spritesHit.Add(b);
    a->spritesHit.Add(nullptr);  // an entry nulled by a removal
    a->spriteNamesHit.Add(String("other"));
    a->lastHitSegment = CollisionSegment(0, 0, 10, 5, 3, 1, 2);
    b->spritesHit.Add(a);

    SaveTo(TempFile("first.sav"), a);
    File in(TempFile("first.sav").c_str(), File::Reading);
    node* loaded = nullptr;
    in.Read(loaded);
    in.Claim(loaded);
    ASSERT_FALSE(in.HasError());
    ASSERT_NE(loaded, nullptr);
    Sprite* copy = static_cast<Sprite*>(loaded);
    SaveTo(TempFile("second.sav"), copy);
    EXPECT_EQ(Bytes(TempFile("first.sav")), Bytes(TempFile("second.sav")));
    EXPECT_EQ(copy->spritesHit.Size(), 2u);
    EXPECT_EQ(copy->spritesHit[1], nullptr);
    EXPECT_EQ(copy->Animation(), a->Animation());
    EXPECT_FLOAT_EQ(copy->localVariables[0].operator double(), 7.0);

    // The hit sprite came in through the reference; both loaded objects are ours.
    Sprite* loadedB = copy->spritesHit[0];
    ASSERT_NE(loadedB, nullptr);
    // Only a reference made it, so no owner took it: this test does.
    EXPECT_TRUE(in.Claim(loadedB));
    EXPECT_EQ(loadedB->spritesHit[0], copy);
    delete loadedB;
    delete copy;
}

TEST_F(SpriteTest, AnEndedDisplacementLeavesTheRecordAsIfNoneHadBeenAsked) {
    Sprite moved, still;
    for (Sprite* s : {&moved, &still}) {
        s->ActorIndex(Walker);
        s->MapPosition(10, 10, false);
        s->speed = 2;
    }
    moved.MapPositionX(10, true);  // a displacement of nothing
    moved.GetTranslation();
    moved.UpdateTranslation();
    moved.UpdateSprite();
    moved.EndDisplacement();
    SaveTo(TempFile("moved.rec"), &moved);
    SaveTo(TempFile("still.rec"), &still);
    EXPECT_EQ(Bytes(TempFile("moved.rec")), Bytes(TempFile("still.rec")));
}

TEST_F(SpriteTest, RecordHasItsFixedSize) {
    // A default sprite writes an empty name (4 bytes), its behaviour, four null
    // objects (traverser, map, followed segment, local data: 16 bytes), and 337
    // bytes of fixed fields and counts, the last hit segment's 54 among them.
    Sprite s;
    {
        File f(TempFile("default.rec").c_str(), File::Writing);
        s.Save(f);
        ASSERT_TRUE(f.Close());
    }
    {
        File f(TempFile("behaviour.rec").c_str(), File::Writing);
        Behavior().Save(f);
        ASSERT_TRUE(f.Close());
    }
    const auto behaviourBytes = std::filesystem::file_size(TempFile("behaviour.rec"));
    EXPECT_EQ(std::filesystem::file_size(TempFile("default.rec")) - behaviourBytes - 4 - 16, 337u);
}

// Fields at their places after the name, behaviour and traverser: each value
// set differs from its neighbours', so two fields stored in each other's
// places fail.
TEST_F(SpriteTest, RecordHoldsEachFieldAtItsOffset) {
    Sprite s;
    s.Name("offsets");
    s.Id(6);
    s.ActorIndex(Walker);
    s.MapPosition(12.5f, -3.25f, false);
    s.CheckCollisionWithSprite(true);
    s.Visible(false);
    s.CheckCollisionWithMap(true);
    s.DisplayListNumber(3);
    s.Pause(true);
    s.VectorDirection(3, 4, 0);
    s.Speed(3.5f);
    s.Gravity(true, 40);
    s.GravityFriction(25);
    s.Friction(12);
    s.CollisionType(false);
    s.ShowSpriteCollision(true);
    s.ZOrder(9);
    {
        File f(TempFile("offsets.rec").c_str(), File::Writing);
        s.Save(f);
        ASSERT_TRUE(f.Close());
    }
    {
        File f(TempFile("behaviour.rec").c_str(), File::Writing);
        Behavior().Save(f);
        ASSERT_TRUE(f.Close());
    }
    const std::vector<char> b = Bytes(TempFile("offsets.rec"));
    const std::size_t at = 4 + 7 + std::filesystem::file_size(TempFile("behaviour.rec")) + 4;
    ASSERT_EQ(b.size(), at + 349);
    auto u32 = [&](std::size_t o) {
        std::uint32_t v = 0;
        for (int i = 3; i >= 0; --i) v = v << 8 | static_cast<unsigned char>(b[o + std::size_t(i)]);
        return v;
    };
    auto f32 = [&](std::size_t o) {
        const std::uint32_t bits = u32(o);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    };
    struct Field {
        const char* name;
        std::size_t offset;
        double value;
        int size;  // 1: bool, 4: int32 (or a uint32 below 2^31), 0: float
    };
    const Field fields[] = {
        {"id", 0, 6, 4},
        {"map position x", 9, 12.5, 0},
        {"map position y", 13, -3.25, 0},
        {"actor index", 53, Walker, 4},
        {"checks collision with sprites", 57, 1, 1},
        {"visible", 59, 0, 1},
        {"main character", 60, 0, 1},
        {"checks collision with the map", 61, 1, 1},
        {"display list", 70, 3, 4},
        {"canned", 99, 0, 1},
        {"pause", 100, 1, 1},
        {"direction x", 109, 0.6f, 0},
        {"direction y", 113, 0.8f, 0},
        {"speed", 120, 3.5, 0},
        {"collision factor", 124, 1.5, 0},
        {"gravity", 185, 1, 1},
        {"gravity friction", 218, 25, 0},
        {"friction", 227, 0.12f, 0},
        {"alarm maximum", 235, 512, 4},
        {"collision by box", 259, 0, 1},
        {"shows its collision", 260, 1, 1},
        {"z-order", 268, 9, 4},
        {"follow direction", 277, -1, 4},
        {"pattern index", 302, -1, 4},
        {"local data index", 341, -1, 4},
    };
    for (const Field& f : fields) {
        const std::size_t o = at + f.offset;
        const double stored = f.size == 1   ? static_cast<unsigned char>(b[o])
                              : f.size == 4 ? double(static_cast<std::int32_t>(u32(o)))
                                            : double(f32(o));
        EXPECT_EQ(stored, f.value) << f.name << " at " << f.offset;
    }
}

TEST_F(SpriteTest, NewSpriteTakesTheMousePosition) {
    Mouse mouse(nullptr, nullptr);
    MouseRecord at;
    at.motionRect = QelRect{0, 0, 640, 480};
    at.x = 40;
    at.y = 30;
    mouse.Restore(at);
    LevelViewPort().WorldXPos(100);
    pMouse = &mouse;
    Sprite s;
    pMouse = nullptr;
    EXPECT_EQ(s.mouseX, 40);
    EXPECT_EQ(s.mouseY, 30);
    EXPECT_EQ(s.mouseWorldX, mouse.WorldX());
    EXPECT_EQ(s.mouseWorldY, mouse.WorldY());
    Sprite without;
    EXPECT_EQ(without.mouseX, 0);
}

TEST_F(SpriteTest, CorruptRecordsAreRefusedWithoutBadIndices) {
    Sprite* a = Add("hero");
    a->Animation(1);
    SaveTo(TempFile("good.sav"), a);
    std::vector<char> bytes = Bytes(TempFile("good.sav"));
    // Fields of the record at fixed places after the name and behaviour are
    // hard to reach here; a file cut short is the simplest corruption, and a
    // count field blown up another.
    for (std::size_t cut : {bytes.size() / 2, bytes.size() - 3}) {
        std::ofstream(TempFile("bad.sav"), std::ios::binary).write(bytes.data(), static_cast<long>(cut));
        File in(TempFile("bad.sav").c_str(), File::Reading);
        node* p = nullptr;
        in.Read(p);
        in.Claim(p);
        EXPECT_TRUE(in.HasError());
        if (auto* s = static_cast<Sprite*>(p)) {
            EXPECT_GE(s->ActorIndex(), 0);
            EXPECT_LT(s->ActorIndex(), Sprite::ActorCount);
            EXPECT_GE(s->DisplayListNumber(), 0);
            EXPECT_LT(s->DisplayListNumber(), 16);
            s->UpdateAnimation();  // must not read outside the actor
            delete s;
        }
    }
}

TEST_F(SpriteTest, RecordCannotMakeTheSpriteOwnWhatItDoesNotOwn) {
    // The record ends with the local-data index and object. A forged record
    // names the sprite itself (object id 1, still being read) as its local
    // data: the sprite would destroy itself when destroyed.
    Sprite s;
    SaveTo(TempFile("plain.sav"), &s);
    std::vector<char> bytes = Bytes(TempFile("plain.sav"));
    bytes.resize(bytes.size() - 8);
    const char index[4] = {0, 0, 0, 0};
    bytes.insert(bytes.end(), index, index + 4);
    char self[36] = "Sprite";
    self[32] = 1;
    bytes.insert(bytes.end(), self, self + 36);
    std::ofstream(TempFile("forged.sav"), std::ios::binary).write(bytes.data(), static_cast<long>(bytes.size()));

    File in(TempFile("forged.sav").c_str(), File::Reading);
    node* p = nullptr;
    in.Read(p);
    in.Claim(p);
    EXPECT_TRUE(in.HasError());
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(static_cast<Sprite*>(p)->LocalData(), nullptr);
    delete p;
}

TEST_F(SpriteTest, CopyResetsFlipsAndKeepsHitsTwoWay) {
    Sprite* hitter = Add("hitter");
    Sprite* source = Add("source");
    source->VectorDirection(-1, 0, 0);
    source->AutoFlip(false);
    source->HFlip(true);
    source->FlipSet();
    source->CollisionFactor(0.25f);
    source->VariableNumber(1);
    source->localVariables[0] = 5;
    source->spritesHit.Add(hitter);
    hitter->spritesHit.Add(source);

    Sprite* copy = source->CreateSprite();
    ASSERT_NE(copy, nullptr);
    EXPECT_EQ(copy->HFlip(), 0);
    EXPECT_TRUE(copy->AutoFlip());
    EXPECT_FLOAT_EQ(copy->CollisionFactor(), 1.5f);
    EXPECT_FLOAT_EQ(copy->DirectionX(), -1.0f);
    copy->localVariables[0] = 9;  // a deep copy
    EXPECT_DOUBLE_EQ(source->localVariables[0].operator double(), 5.0);
    ASSERT_EQ(hitter->spritesHit.Size(), 2u);
    EXPECT_EQ(hitter->spritesHit[0], source);
    EXPECT_EQ(hitter->spritesHit[1], copy);
    EXPECT_NE(copy->Id(), source->Id());

    Sprite& self = *copy;
    self = self;  // self-assignment keeps everything
    EXPECT_DOUBLE_EQ(copy->localVariables[0].operator double(), 9.0);
}

// A copy takes every saved field but those it starts afresh (the flips and the
// collision factor): with those as a copy starts them, both records match.
TEST_F(SpriteTest, CopySavesTheOriginalsRecordButForTheFieldsItResets) {
    Sprite* other = Add("other", Peg);
    Sprite* source = Add("source");
    source->MapPosition(40.5f, 7.25f, false);
    source->Animation(1);
    source->Speed(2.5f);
    source->VectorDirection(3, -4, 0);
    source->Gravity(true, 40);
    source->Friction(12);
    // Local variables are left at their start: a variable's copy keeps the
    // text it shows only when it is displayed, which is the variable's concern.
    source->VariableNumber(2);
    source->ZOrder(5);
    source->Visible(false);
    source->spritesHit.Add(other);
    source->spriteNamesHit.Add(String("other"));
    source->lastHitSegment = CollisionSegment(0, 0, 10, 5, 3, 1, 2);
    source->CollisionFactor(0.25f);

    Sprite copy(*source);
    auto record = [](Sprite& s, const char* name) {
        File f(TempFile(name).c_str(), File::Writing);
        s.Save(f);
        EXPECT_TRUE(f.Close());
        return Bytes(TempFile(name));
    };
    const std::vector<char> copied = record(copy, "copy.rec");
    EXPECT_NE(copied, record(*source, "source.rec"));
    source->CollisionFactor(1.5f);
    EXPECT_EQ(copied, record(*source, "reset.rec"));
    other->spritesHit.Clear();
}

TEST_F(SpriteTest, CopyOfTheMainCharacterIsNotTheMainCharacter) {
    Sprite* hero = Add("hero");
    hero->MainCharacter(true);
    hero->Unused(false);
    ASSERT_EQ(pMainCharacter, hero);
    Sprite* copy = hero->CreateSprite();
    ASSERT_NE(copy, nullptr);
    EXPECT_FALSE(copy->MainCharacter());
    EXPECT_EQ(pMainCharacter, hero);
}

TEST_F(SpriteTest, RemovalClearsEveryPointerToTheSprite) {
    Sprite* a = Add("a");
    Sprite* b = Add("b");
    // a holds b, b does not hold a (the lists are capped and cleared one by one).
    a->spritesHit.Add(b);
    std::vector<Sprite*> hitters;
    for (int i = 0; i < 11; ++i) {
        hitters.push_back(Add("h"));
        hitters.back()->spritesHit.Add(b);
    }
    b->MainCharacter(true);
    b->Unused(false);
    b->RemoveFrom(level.DisplayList(0));
    EXPECT_EQ(a->spritesHit[0], nullptr);
    for (Sprite* h : hitters) EXPECT_EQ(h->spritesHit[0], nullptr);
    EXPECT_EQ(pMainCharacter, nullptr);

    // Saving after the removal writes no freed object.
    SaveTo(TempFile("after-removal.sav"), a);
}

TEST_F(SpriteTest, LookupFollowsListOrderAndQuietCases) {
    Sprite* low = new Sprite();
    low->Name("twin");
    low->DisplayListNumber(2);
    Sprite* added = low->CreateSprite();
    delete low;
    Sprite* head = Add("twin", Walker, 0);
    Sprite* cursor = Add("QEL_CURSOR", Walker, Sprite::CursorZOrder);
    EXPECT_EQ(Sprite::Search("twin"), head);  // list 0 comes first
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(Sprite::Search("QEL_CURSOR"), nullptr);
    EXPECT_EQ(Sprite::Search("QEL_CURSOR_ROSRUC_"), cursor);
    ClearUserErrors();
    EXPECT_EQ(Sprite::Search(0), nullptr);
    EXPECT_EQ(Sprite::Search(-3), nullptr);
    EXPECT_STREQ(_UE.ErrorMessage, "");
    EXPECT_EQ(Sprite::Search(head->Id()), head);
    EXPECT_EQ(Sprite::Search("nobody"), nullptr);
    EXPECT_EQ(LastError(), "Sprite* Sprite::Search(const char *) | Sprite name: nobody not found.");

    added->Unused(true);
    head->Use("twin");  // skips the used sprite of list 0
    EXPECT_FALSE(added->Unused());
    EXPECT_FALSE(head->Unused());

    Query all([](Sprite*) { return true; });
    ASSERT_EQ(all.Count(), 2u);  // the cursor is left out
    EXPECT_EQ(all[0], head);
    EXPECT_EQ(all[1], added);
    Query none(nullptr);
    EXPECT_EQ(none.Count(), 0u);
}

TEST_F(SpriteTest, HandleFallsBackToThePlaceholder) {
    SpritePTR missing("nobody");
    EXPECT_EQ(static_cast<Sprite*>(missing), SpritePTR::dummySpritePtr);
    EXPECT_NE(missing->BelongToMapPtr(), nullptr);
    Sprite* hero = Add("hero");
    SpritePTR h(hero);
    h = nullptr;
    EXPECT_EQ(static_cast<Sprite*>(h), hero);
}

TEST_F(SpriteTest, LocalVariablesKeepTheirValuesWhenResized) {
    Sprite s;
    s.VariableNumber(5);
    for (int i = 0; i < 5; ++i) s.localVariables[i] = i + 1;
    s.VariableNumber(3);
    ASSERT_EQ(s.localVariables.Size(), 3u);
    EXPECT_DOUBLE_EQ(s.localVariables[2].operator double(), 3.0);
    s.VariableNumber(-1);
    EXPECT_EQ(s.VariableNumber(), 3);
    s.VariableNumber(0);
    EXPECT_EQ(s.localVariables.Size(), 0u);
    s.AddLocalVariable(0);  // the table is empty: bound -1
    EXPECT_EQ(LastError(), "void Sprite::AddLocalVariable(unsigned int index) | The local variable 0 cannot be found.");
}

TEST_F(SpriteTest, ALocalVariableCountPastTheBoundIsRefused) {
    Sprite s;
    s.VariableNumber(2);
    s.localVariables[1] = 4;
    // 2^30 variables (a count computed wrongly) would take all memory.
    for (int n : {Sprite::MaxLocalVariables + 1, 1 << 30, INT_MAX}) {
        s.VariableNumber(n);
        EXPECT_EQ(LastError(),
                  "void Sprite::VariableNumber(int) | A sprite can hold at most 1024 local variables, not " +
                      std::to_string(n) + ".");
        EXPECT_EQ(s.VariableNumber(), 2);
        ASSERT_EQ(s.localVariables.Size(), 2u);
    }
    EXPECT_DOUBLE_EQ(s.localVariables[1].operator double(), 4.0);
    s.VariableNumber(Sprite::MaxLocalVariables);
    EXPECT_EQ(s.localVariables.Size(), 1024u);
}
