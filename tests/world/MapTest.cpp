#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include "WorldFixture.h"
#include "foundation/File.h"
#include "foundation/UserError.h"
#include "logic/Alarm.h"
#include "logic/LogicTables.h"
#include "world/CollisionCircle.h"
#include "world/CollisionSegment.h"
#include "world/GeometryInternal.h"
#include "world/Map.h"
#include "world/MapManagerInternal.h"
#include "world/WrappingAlgorithmeInternal.h"

namespace {

using MapTest = WorldFixture;

const MapManagerElem* Entry(qel::Surface* surface) {
    for (const MapManagerElem& e : TheMapManager().Entries())
        if (e.surface == surface) return &e;
    return nullptr;
}

// What a wrapped map shows on the back buffer at (sx, sy): the id colour of its
// bitmap pixel there, or the cleared colour. Its window of width x height sits
// with its top-left corner at (left, top) on screen; the bitmap repeats with a
// period of its own size or the window's, whichever is larger, and bitmap
// pixel (c, r) lands at window pixel ((offsetX + c) mod period, (offsetY + r)
// mod period).
std::uint32_t WrappedPixel(int sx, int sy, int bitmapWidth, int bitmapHeight, const QelRect& rect, std::int32_t width,
                           std::int32_t height, std::int32_t offsetX, std::int32_t offsetY) {
    const auto within = [](std::int64_t windowAt, std::int32_t size, std::int32_t bitmapSize, std::int32_t offset,
                           std::int64_t& bitmapAt) {
        if (windowAt < 0 || windowAt >= size) return false;
        const std::int64_t period = std::max(size, bitmapSize);
        bitmapAt = ((windowAt - offset) % period + period) % period;
        return bitmapAt < bitmapSize;
    };
    std::int64_t c = 0, r = 0;
    if (!within(std::int64_t(sx) - rect.left, width, bitmapWidth, offsetX, c) ||
        !within(std::int64_t(sy) - rect.top, height, bitmapHeight, offsetY, r))
        return 0x123456u;
    return IdColour(int(c), int(r));
}

TEST_F(MapTest, WrappedMapsTakeRectanglesWithCornersAtTheInt32Limits) {
    // Level files give wrapped maps any rectangle: its size is held at the
    // int32 limits and the map's offset from its corner is taken whole, so the
    // map shows its bitmap where that window and offset put it.
    const int bitmapWidth = 40, bitmapHeight = 30;
    const std::string file = Bitmap("far.bmp", bitmapWidth, bitmapHeight);
    struct Case {
        QelRect rect;
        std::int32_t width, height;  // of the window
    };
    const Case cases[] = {
        {{INT32_MIN, 0, 30, 20}, INT32_MAX, 20},
        {{0, INT32_MIN, 30, 20}, 30, INT32_MAX},
        {{INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX}, INT32_MAX, INT32_MAX},
        {{0, 0, INT32_MIN, 20}, INT32_MIN, 20},
        {{INT32_MAX, INT32_MAX, INT32_MIN, INT32_MIN}, INT32_MIN, INT32_MIN},
        // On screen from (-10, -10) to the limits: the bitmap shows.
        {{-10, -10, INT32_MAX, INT32_MAX}, INT32_MAX, INT32_MAX},
        {{-10, 0, INT32_MAX, 20}, INT32_MAX, 20},
        {{0, -10, 30, INT32_MAX}, 30, INT32_MAX},
    };
    const int backWidth = back->Width(), backHeight = back->Height();
    for (const Case& k : cases) {
        for (int x : {0, INT32_MAX, INT32_MIN}) {
            const QelRect& r = k.rect;
            SCOPED_TRACE(testing::Message()
                         << "rect {" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}, x " << x);
            Map wrapped("w", file.c_str(), Map::WrappedMap, 0, x, 0, false, r);
            const float offsetX = float(std::int64_t(x) - r.left), offsetY = float(-std::int64_t(r.top));
            EXPECT_EQ(wrapped.ViewPortOffsetX(), offsetX);
            EXPECT_EQ(wrapped.ViewPortOffsetY(), offsetY);

            // The map's wrapping is the one of its window at its corner.
            WrappingAlgorithme expected;
            expected.SetUp(QelRect{0, 0, bitmapWidth, bitmapHeight}, QelRect{0, 0, k.width, k.height}, false, r.left,
                           r.top, 0.0f, 0.0f);
            const std::int32_t shiftX = RoundHalfTowardZero(offsetX), shiftY = RoundHalfTowardZero(offsetY);
            expected.SetOffset(shiftX, shiftY, 0.0f, 0.0f);
            std::uint8_t want[WrappingAlgorithme::kRecordSize], got[WrappingAlgorithme::kRecordSize];
            expected.ToBytes(want);
            ASSERT_NE(wrapped.Wrapping(), nullptr);
            wrapped.Wrapping()->ToBytes(got);
            EXPECT_EQ(std::memcmp(want, got, sizeof want), 0);

            ClearBack();
            wrapped.UpdateWrappedMap();
            wrapped.DisplayMap();
            int wrong = 0;
            for (int sy = 0; sy < backHeight; ++sy)
                for (int sx = 0; sx < backWidth; ++sx)
                    if (Pixel(sx, sy) !=
                        WrappedPixel(sx, sy, bitmapWidth, bitmapHeight, r, k.width, k.height, shiftX, shiftY))
                        ++wrong;
            EXPECT_EQ(wrong, 0) << "pixels unlike the window's";
        }
    }
}

TEST_F(MapTest, SharedBitmapsAreLoadedOnceAndFreedWithTheLastMap) {
    const std::string file = Bitmap("shared.bmp", 70, 50);
    const size_t before = TheMapManager().Entries().size();
    auto* a = new Map("a", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    auto* b = new Map("b", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    ASSERT_NE(a->Surface(), nullptr);
    EXPECT_EQ(a->Surface(), b->Surface());
    EXPECT_EQ(Entry(a->Surface())->references, 2);
    EXPECT_EQ(a->Width(), 70u);
    EXPECT_EQ(a->Height(), 50u);

    // Another key is another surface, taking effect at the next LoadMap; the
    // picture is opaque, so its pixels are the same block.
    auto* keyed = new Map("k", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    keyed->TransparencyColor(0xDC00FF);
    keyed->LoadMap();
    EXPECT_NE(keyed->Surface(), a->Surface());
    EXPECT_EQ(keyed->Surface()->Pixels(), a->Surface()->Pixels());
    EXPECT_EQ(keyed->Surface()->ColorKey(), keyed->Surface()->MapColor(0xDC00FF));
    EXPECT_EQ(Entry(a->Surface())->references, 2);
    EXPECT_EQ(TheMapManager().Entries().size(), before + 2);

    auto* copy = new Map(*a);
    EXPECT_EQ(copy->Surface(), a->Surface());
    EXPECT_EQ(Entry(a->Surface())->references, 3);

    qel::Surface* shared = a->Surface();
    delete a;
    delete copy;
    EXPECT_EQ(Entry(shared)->references, 1);
    EXPECT_EQ(b->Surface(), shared);
    delete b;
    EXPECT_EQ(Entry(shared), nullptr);
    delete keyed;
    EXPECT_EQ(TheMapManager().Entries().size(), before);
}

TEST_F(MapTest, WorldPositionStepsStopAtTheirLimitExceptOnMasterAndWrappedMaps) {
    const std::string file = Bitmap("pos.bmp", 100, 60);
    Map standard("s", file.c_str(), Map::StandardMap, 0, 95, 0, true, QelRect{});
    standard.WorldPositionXInc(10, 100);
    EXPECT_FLOAT_EQ(standard.WorldPositionX(), 100);
    standard.WorldPositionXDec(150, 20);
    EXPECT_FLOAT_EQ(standard.WorldPositionX(), 20);

    Map master("m", file.c_str(), Map::MasterMap, 0, 0, 0, true, QelRect{});
    master.WorldPositionXInc(10, 100);
    EXPECT_FLOAT_EQ(master.WorldPositionX(), 0);
    EXPECT_TRUE(master.IsMasterMap());

    Map wrapped("w", file.c_str(), Map::WrappedMap, 0, 0, 0, true, QelRect{0, 0, 30, 20});
    wrapped.WorldPositionXInc(10, 100);
    EXPECT_FLOAT_EQ(wrapped.WorldPositionX(), 0);
}

TEST_F(MapTest, ViewportOffsetRoundsToNearestWithHalvesTowardZero) {
    const std::string file = Bitmap("round.bmp", 100, 60);
    Map master("m", file.c_str(), Map::MasterMap, 0, 0, 0, true, QelRect{});
    const struct {
        float viewX;
        int expected;
    } rounding[] = {{-2.5f, 2}, {-2.6f, 3}, {2.5f, -2}, {-10.5f, 10}, {-10.51f, 11}};
    for (const auto& r : rounding) {
        ResetView(r.viewX, 0);
        Map m("r", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
        EXPECT_EQ(m.ViewPortX(), r.expected) << r.viewX;
        EXPECT_EQ(master.ViewPortX(), r.expected) << r.viewX;
    }
    ResetView(0, 0);
}

TEST_F(MapTest, AWrappedMapsViewportYIsReportedAsMisuse) {
    const std::string file = Bitmap("wrapped.bmp", 100, 60);
    Map wrapped("w", file.c_str(), Map::WrappedMap, 0, 0, 0, true, QelRect{0, 0, 30, 20});
    EXPECT_EQ(wrapped.ViewPortY(), 0);
    EXPECT_STREQ(_UE.TargetFunction, "int Map::ViewPortY()");
    EXPECT_STREQ(_UE.ErrorMessage, "The map's Y viewport position is correct only if the map is not wrapping.");
}

TEST_F(MapTest, AlarmsTakeRisingIdsAndTheNewestComesFirst) {
    const std::string file = Bitmap("alarms.bmp", 100, 60);
    Map standard("s", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    for (int n = 1; n <= 3; ++n) {
        auto* alarm = new Alarm();
        EXPECT_TRUE(standard.Add(alarm));
        EXPECT_EQ(alarm->Id(), n);
        EXPECT_EQ(standard.Alarms().Head(), alarm) << "newest first";
    }
    EXPECT_EQ(standard.AlarmCount(), 3);
    standard.AlarmMaximum(-5);
    EXPECT_EQ(standard.AlarmMaximum(), 0);
}

TEST_F(MapTest, NoAlarmOrAnAlarmAddedBeforeIsRefused) {
    Map map;
    EXPECT_FALSE(map.Add(static_cast<Alarm*>(nullptr)));
    auto* alarm = new Alarm();
    alarm->Name("gate");
    ASSERT_TRUE(map.Add(alarm));
    EXPECT_FALSE(map.Add(alarm));
    EXPECT_STREQ(_UE.TargetFunction, "bool Map::Add(Alarm *)");
    EXPECT_STREQ(_UE.ErrorMessage, "Alarm gate has already been added.");
    Map other;
    EXPECT_FALSE(other.Add(alarm));
    EXPECT_EQ(map.AlarmCount(), 1);
    EXPECT_EQ(map.Alarms().Count(), 1);
    EXPECT_EQ(other.Alarms().Count(), 0);
    EXPECT_EQ(alarm->Id(), 1);
}

TEST_F(MapTest, SettersKeepWhatTheyCannotTake) {
    const std::string file = Bitmap("setters.bmp", 100, 60);
    Map standard("s", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    standard.UseTransparency(true);
    EXPECT_EQ(standard.BlitFlags(), 0x1008000u);
    standard.UseTransparency(false);
    EXPECT_EQ(standard.BlitFlags(), 0x1000000u);
    standard.Name(nullptr);
    EXPECT_STREQ(standard.Name(), "s");
}

TEST_F(MapTest, AStandardMapWiderThanTheWorldNeverScrollsSideways) {
    const std::string file = Bitmap("wide.bmp", 100, 60);
    LevelViewPort().WorldWidth(80);
    Map wide("wide", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    wide.SpeedX(3);
    wide.UpdateStandardMap();
    EXPECT_FLOAT_EQ(wide.WorldPositionX(), 0);
}

TEST_F(MapTest, StandardMapMovement) {
    const std::string file = Bitmap("move.bmp", 1900, 40);  // world 2000: maximum X 100
    // speed 2, ratios 0: moves until the maximum, then stays.
    Map m("s", file.c_str(), Map::StandardMap, 0, 96, 0, true, QelRect{0, 0, 64, 48});
    m.SpeedX(2);
    m.UpdateStandardMap();
    EXPECT_FLOAT_EQ(m.WorldPositionX(), 98);
    m.UpdateStandardMap();
    m.UpdateStandardMap();
    EXPECT_FLOAT_EQ(m.WorldPositionX(), 100);
    // A ratio on either axis switches both to parallax: the speed is ignored.
    m.ScrollRatioY(0.5f);
    m.UpdateStandardMap();
    EXPECT_FLOAT_EQ(m.WorldPositionX(), 100);
    m.WorldPositionX(50);
    m.ScrollRatioX(2);
    ViewPort& view = LevelViewPort();
    view.Scroll(3, 0);
    view.Commit();
    m.UpdateStandardMap();
    EXPECT_FLOAT_EQ(m.WorldPositionX(), 56);
    // Clamped at 0.
    m.ScrollRatioX(-100);
    m.UpdateStandardMap();
    EXPECT_FLOAT_EQ(m.WorldPositionX(), 0);
}

TEST_F(MapTest, MasterMapDrawnAtTheTopLeft) {
    Map master("m", Bitmap("master.bmp", 100, 60).c_str(), Map::MasterMap, 0, 0, 0, true, QelRect{});
    ResetView(10, 5);
    ClearBack();
    master.DisplayMap();
    EXPECT_EQ(Pixel(0, 0), IdColour(10, 5));
    EXPECT_EQ(Pixel(63, 47), IdColour(73, 52));
    // Near the bitmap's far corner only the part that exists is drawn.
    ResetView(60, 30);
    ClearBack();
    master.DisplayMap();
    EXPECT_EQ(Pixel(39, 29), IdColour(99, 59));
    EXPECT_EQ(Pixel(40, 0), 0x123456u);
    EXPECT_EQ(Pixel(0, 30), 0x123456u);
    // Invisible: nothing.
    master.Visible(false);
    ClearBack();
    master.DisplayMap();
    EXPECT_EQ(Pixel(0, 0), 0x123456u);
}

TEST_F(MapTest, StandardMapsClippedAndPlaced) {
    const std::string file = Bitmap("std.bmp", 20, 10);
    // Partly off the right edge.
    Map right("r", file.c_str(), Map::StandardMap, 0, 50, 10, true, QelRect{0, 0, 64, 48});
    ClearBack();
    right.DisplayMap();
    EXPECT_EQ(Pixel(50, 10), IdColour(0, 0));
    EXPECT_EQ(Pixel(63, 19), IdColour(13, 9));
    EXPECT_EQ(Pixel(49, 10), 0x123456u);
    EXPECT_EQ(Pixel(50, 20), 0x123456u);

    // Placed beyond its display rectangle: the destination is inverted, nothing drawn.
    Map outside("o", file.c_str(), Map::StandardMap, 0, 30, 0, true, QelRect{0, 0, 20, 48});
    ClearBack();
    outside.DisplayMap();
    for (int x = 0; x < 64; ++x) ASSERT_EQ(Pixel(x, 0), 0x123456u) << x;

    // Half-pixel offsets: 10.5 places the bitmap at 10, -10.5 at -10.
    ResetView(-10.5f, 0);
    Map half("h", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{-100, -100, 100, 100});
    ClearBack();
    half.DisplayMap();
    EXPECT_EQ(Pixel(10, 0), IdColour(0, 0));
    EXPECT_EQ(Pixel(9, 0), 0x123456u);
    ResetView(10.5f, 0);
    ClearBack();
    half.DisplayMap();
    EXPECT_EQ(Pixel(0, 0), IdColour(10, 0));

    // A map without a surface draws nothing and does not crash.
    Map empty;
    ClearBack();
    empty.DisplayMap();
    empty.DisplayStandardMap();
    empty.DisplayWrappedMap();
    empty.DisplayMasterMap();
    EXPECT_EQ(Pixel(0, 0), 0x123456u);
}

TEST_F(MapTest, WrappedMapsAcrossTheirSeams) {
    // A 16 x 8 bitmap in a 60 x 40 window at (2, 3): shown once, wrapping round.
    Map once("w", Bitmap("wrap.bmp", 16, 8).c_str(), Map::WrappedMap, 0, 2 + 10, 3, true, QelRect{2, 3, 62, 43});
    once.SpeedX(45);  // offset 10, then 55 after the first frame's movement
    ClearBack();
    once.DisplayMap();
    EXPECT_EQ(Pixel(2 + 55, 3), IdColour(0, 0));
    EXPECT_EQ(Pixel(2 + 59, 3 + 7), IdColour(4, 7));
    EXPECT_EQ(Pixel(2 + 0, 3), IdColour(5, 0));
    EXPECT_EQ(Pixel(2 + 10, 3), IdColour(15, 0));
    EXPECT_EQ(Pixel(2 + 11, 3), 0x123456u);
    EXPECT_EQ(Pixel(2 + 0, 3 + 8), 0x123456u);

    // A 100 x 60 bitmap behind a 30 x 20 window: it repeats across the seam.
    Map repeat("r", Bitmap("rep.bmp", 100, 60).c_str(), Map::WrappedMap, 0, -85, -50, true, QelRect{0, 0, 30, 20});
    ClearBack();
    repeat.Pause(true);  // keep the set-up offset
    repeat.DisplayMap();
    EXPECT_EQ(Pixel(0, 0), IdColour(85, 50));
    EXPECT_EQ(Pixel(14, 9), IdColour(99, 59));
    EXPECT_EQ(Pixel(15, 10), IdColour(0, 0));
    EXPECT_EQ(Pixel(29, 19), IdColour(14, 9));
    EXPECT_EQ(Pixel(30, 0), 0x123456u);
}

TEST_F(MapTest, RecordSavedLoadedAndSavedAgainIsIdentical) {
    CollisionCircle prototype(1, 2, 3, 4, 5);  // any registered, cloneable node serves as local data
    node* table[1] = {&prototype};
    node** savedTable = NArray;
    const std::int32_t savedMax = maxNIndex;
    NArray = table;
    maxNIndex = 0;

    const std::string master = Bitmap("rec.bmp", 300, 200), small = Bitmap("recw.bmp", 16, 8);
    Map* kinds[3] = {
        new Map("master", master.c_str(), Map::MasterMap, 1, 0, 0, true, QelRect{}),
        new Map("std", master.c_str(), Map::StandardMap, 2, 30, 40, false, QelRect{1, 2, 50, 60}),
        new Map("wrap", small.c_str(), Map::WrappedMap, 3, 5, 6, true, QelRect{0, 0, 40, 30}),
    };
    for (Map* m : kinds) {
        m->SpacePartitionGridSize(64);
        m->AddCollisionData(CollisionSegment(10, 10, 250, 150, 3, 1, 2));
        m->AddCollisionData(CollisionCircle(70, 70, 8, 4, 0));
        m->AddLocalVariable(0);
        m->UseTransparency(true);
        m->ShowMapCollision(true);
    }
    NArray = savedTable;
    maxNIndex = savedMax;

    for (Map* m : kinds) {
        const std::string a = dir.File("a.map"), b = dir.File("b.map");
        {
            File f(a.c_str(), File::Writing);
            f.Write(static_cast<node*>(m));
        }
        node* loaded = nullptr;
        {
            File f(a.c_str(), File::Reading);
            f.Read(loaded);
            f.Claim(loaded);
            EXPECT_FALSE(f.HasError()) << m->Name();
        }
        auto* back = dynamic_cast<Map*>(loaded);
        ASSERT_NE(back, nullptr);
        {
            File f(b.c_str(), File::Writing);
            f.Write(loaded);
        }
        EXPECT_EQ(TempDir::ReadAll(a), TempDir::ReadAll(b)) << m->Name();
        EXPECT_EQ(back->Surface(), m->Surface());
        EXPECT_EQ(back->Shapes().Count(), 2);
        ASSERT_TRUE(back->HasGrid());
        EXPECT_EQ(back->GridColumns(), m->GridColumns());
        for (int i = 0; i < m->GridColumns(); ++i)
            for (int j = 0; j < m->GridRows(); ++j)
                EXPECT_EQ(back->Cell(i, j)->Count(), m->Cell(i, j)->Count()) << i << "," << j;
        ASSERT_NE(back->LocalData(), nullptr);
        EXPECT_EQ(back->LocalDataIndex(), 0);
        EXPECT_EQ(back->Wrapping() != nullptr, m->Type() == Map::WrappedMap);
        delete back;
        delete m;
    }
}

// Writes one map record, lets `corrupt` change bytes of it, and loads it back.
class HostileMapRecord : public MapTest {
protected:
    std::vector<unsigned char> SavedWrappedMap() {
        Map m("wrap", Bitmap("h.bmp", 16, 8).c_str(), Map::WrappedMap, 3, 5, 6, true, QelRect{0, 0, 40, 30});
        m.SpacePartitionGridSize(64);
        m.AddCollisionData(CollisionSegment(1, 1, 9, 9, 3, 0, 0));
        const std::string path = dir.File("h.map");
        {
            File f(path.c_str(), File::Writing);
            m.Save(f);
        }
        return TempDir::ReadAll(path);
    }
    bool LoadsCleanly(const std::vector<unsigned char>& bytes) {
        const std::string path = dir.File("bad.map");
        TempDir::WriteAll(path, bytes);
        Map target;
        File f(path.c_str(), File::Reading);
        target.Load(f);
        target.DisplayMap();  // whatever was read, drawing is safe
        return !f.HasError();
    }
};

TEST_F(HostileMapRecord, CorruptFieldsAreRejected) {
    const std::vector<unsigned char> good = SavedWrappedMap();
    ASSERT_TRUE(LoadsCleanly(good));
    // Offsets after the behaviour record: find the name "wrap" to anchor them.
    size_t at = 0;
    for (; at + 4 < good.size(); ++at)
        if (std::memcmp(&good[at], "wrap", 4) == 0) break;
    ASSERT_LT(at + 4, good.size());
    const size_t afterName = at + 4;
    const size_t heightAt = afterName + 4 + 5 + 1;  // file name "h.bmp" (length + 5 bytes), IsMasterMap
    const size_t wrapAt = good.size() - 4 - 4 - WrappingAlgorithme::kRecordSize;  // before index and null data

    struct Case {
        const char* what;
        size_t offset;
        std::vector<unsigned char> bytes;
    } const cases[] = {
        {"huge height", heightAt, {0xFF, 0xFF, 0xFF, 0x7F}}, {"huge width", heightAt + 4, {0x00, 0x00, 0x00, 0x40}},
        {"piece count 9", wrapAt + 260, {9, 0, 0, 0}},       {"wrap case 7", wrapAt + 257, {7}},
        {"zero period", wrapAt + 212, {0, 0, 0, 0}},
    };
    for (const Case& c : cases) {
        std::vector<unsigned char> bad = good;
        std::copy(c.bytes.begin(), c.bytes.end(), bad.begin() + std::ptrdiff_t(c.offset));
        EXPECT_FALSE(LoadsCleanly(bad)) << c.what;
    }
    // Truncated anywhere: an error, never a crash.
    for (size_t n = 0; n < good.size(); n += 7)
        EXPECT_FALSE(LoadsCleanly(std::vector<unsigned char>(good.begin(), good.begin() + std::ptrdiff_t(n)))) << n;
}

TEST_F(HostileMapRecord, ListsHoldingForeignObjectsAreRejected) {
    Map m("lists", Bitmap("l.bmp", 16, 8).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
    m.Alarms().add(new CollisionCircle(1, 2, 3, 4, 0));  // a shape where an alarm belongs
    const std::string path = dir.File("l.map");
    {
        File f(path.c_str(), File::Writing);
        m.Save(f);
    }
    Map target;
    File f(path.c_str(), File::Reading);
    target.Load(f);
    EXPECT_TRUE(f.HasError());
    EXPECT_EQ(target.Alarms().Count(), 0);
}

TEST_F(MapTest, FarOffPositionsDrawNothingAndStayDefined) {
    // A world smaller than the bitmap: no maximum, so nothing clamps the position.
    LevelViewPort().WorldWidth(10);
    LevelViewPort().WorldHeight(5);
    Map far("far", Bitmap("far.bmp", 16, 8).c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{0, 0, 64, 48});
    for (float x : {3e9f, -3e9f, 2147483520.0f}) {
        far.WorldPositionX(x);
        far.WorldPositionY(-x);
        ClearBack();
        far.DisplayMap();
        EXPECT_EQ(Pixel(0, 0), 0x123456u) << x;
        EXPECT_EQ(Pixel(63, 47), 0x123456u) << x;
    }
}

// Fields at their places after the name and file name: each value set differs
// from its neighbours', so two fields stored in each other's places fail.
TEST_F(MapTest, RecordHoldsEachFieldAtItsOffset) {
    Map m("stdmap", Bitmap("s.bmp", 300, 200).c_str(), Map::StandardMap, 7, 30, 40, false, QelRect{1, 2, 50, 60});
    m.Id(5);
    m.ScrollRatioX(0.25f);
    m.ScrollRatioY(0.5f);
    m.SpeedX(1.5f);
    m.SpeedY(2.5f);
    m.TransparencyColor(0x123456);
    m.UseTransparency(true);
    m.Visible(false);
    m.Pause(true);
    m.AlarmMaximum(9);
    m.Add(Alarm());
    m.Add(Alarm());
    m.SpacePartitionGridSize(64);
    m.ShowMapCollision(true);
    const std::string path = dir.File("offsets.map");
    {
        File f(path.c_str(), File::Writing);
        m.Save(f);
    }
    const std::vector<unsigned char> b = TempDir::ReadAll(path);
    size_t name = 0;
    while (name + 6 <= b.size() && std::memcmp(&b[name], "stdmap", 6) != 0) ++name;
    ASSERT_LE(name + 6, b.size());
    const size_t at = name + 6 + 4 + 5;  // past the file name "s.bmp"
    auto u32 = [&](size_t o) { return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | std::uint32_t(b[o + 3]) << 24; };
    auto f32 = [&](size_t o) {
        const std::uint32_t bits = u32(o);
        float v;
        std::memcpy(&v, &bits, 4);
        return v;
    };
    struct Field {
        const char* name;
        size_t offset;
        double value;
        int size;  // 1: bool, 4: int32 or uint32, 0: float
    };
    const Field fields[] = {
        {"id", name - 8, 5, 4},
        {"is master map", at, 0, 1},
        {"height", at + 1, 200, 4},
        {"width", at + 5, 300, 4},
        {"world x", at + 17, 30, 0},
        {"world y", at + 21, 40, 0},
        {"z-order", at + 41, 7, 4},
        {"visible", at + 45, 0, 1},
        {"scroll ratio x", at + 46, 0.25, 0},
        {"scroll ratio y", at + 50, 0.5, 0},
        {"speed x", at + 54, 1.5, 0},
        {"speed y", at + 58, 2.5, 0},
        {"transparency colour", at + 62, 0x123456, 4},
        {"bitmap rectangle right", at + 74, 300, 4},
        {"bitmap rectangle bottom", at + 78, 200, 4},
        {"display rectangle left", at + 130, 1, 4},
        {"display rectangle top", at + 134, 2, 4},
        {"display rectangle right", at + 138, 50, 4},
        {"display rectangle bottom", at + 142, 60, 4},
        {"fixed to the viewport", at + 146, 0, 1},
        {"pause", at + 147, 1, 1},
        {"blit flags", at + 148, 0x1008000, 4},
        {"map type", at + 152, Map::StandardMap, 4},
        {"alarm count", at + 157, 2, 4},
        {"alarm maximum", at + 161, 9, 4},
        {"collision display", at + 165, 1, 1},
        {"cell size", at + 166, 64, 4},
        {"unused", at + 170, 0, 1},
    };
    for (const Field& f : fields) {
        const double stored = f.size == 1 ? b[f.offset] : f.size == 4 ? double(u32(f.offset)) : double(f32(f.offset));
        EXPECT_EQ(stored, f.value) << f.name << " at " << f.offset;
    }
}

TEST_F(MapTest, AMapOfNoKnownKindSavesAndLoads) {
    Map odd("odd", Bitmap("odd.bmp", 16, 8).c_str(), Map::MapType(5), 0, 0, 0, true, QelRect{});
    const std::string path = dir.File("odd.map");
    {
        File f(path.c_str(), File::Writing);
        odd.Save(f);
    }
    Map back;
    File f(path.c_str(), File::Reading);
    back.Load(f);
    EXPECT_FALSE(f.HasError());
    EXPECT_EQ(back.Type(), Map::MapType(5));
    ClearBack();
    back.DisplayMap();
    EXPECT_EQ(Pixel(0, 0), 0x123456u);
}

TEST_F(MapTest, MasterMapMustCoverTheViewport) {
    const std::string exact = Bitmap("exact.bmp", 64, 48), narrow = Bitmap("narrow.bmp", 63, 48);
    Map ok("ok", exact.c_str(), Map::MasterMap, 0, 0, 0, true, QelRect{});
    EXPECT_EQ(ok.Width(), 64u);
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_DEATH(Map("no", narrow.c_str(), Map::MasterMap, 0, 0, 0, true, QelRect{}),
                 "For the bitmap file narrow.bmp to be a master map");
    EXPECT_DEATH(Map("no", "missing.bmp", Map::StandardMap, 0, 0, 0, true, QelRect{}),
                 "The bitmap file missing.bmp does not exist.");
}

}  // namespace

namespace {

// A level builder makes its map, sets the key, and copies it into the level:
// the copy under the new key must hold what a load under that key holds, and
// comes from the bitmap already loaded (here the file is gone by then).
TEST_F(MapTest, AnotherKeyOfALoadedBitmapHoldsWhatALoadWouldHold) {
    auto picture = [](int x, int y) { return (x + y) % 5 == 0 ? 0xFF00DCu : IdColour(x, y); };
    for (int depth : {8, 16, 24, 32}) {
        SCOPED_TRACE(depth);
        displayDepth = depth;
        const std::string file = Bitmap("builder.bmp", 23, 9, picture);
        const std::string fresh = Bitmap("fresh.bmp", 23, 9, picture);
        Map builder("level", file.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
        builder.TransparencyColor(0xDC00FF);
        std::filesystem::remove(dir.File(file));
        Map copy(builder);
        Map reference("r", fresh.c_str(), Map::StandardMap, 0, 0, 0, true, QelRect{});
        reference.TransparencyColor(0xDC00FF);
        reference.LoadMap();
        ASSERT_NE(copy.Surface(), nullptr);
        ASSERT_NE(copy.Surface(), builder.Surface());
        const qel::Surface& got = *copy.Surface();
        const qel::Surface& want = *reference.Surface();
        EXPECT_EQ(got.ColorKey(), want.ColorKey());
        EXPECT_EQ(got.BitsPerPixel(), depth);
        for (int y = 0; y < 9; ++y)
            for (int x = 0; x < 23; ++x) ASSERT_EQ(got.GetRawPixel(x, y), want.GetRawPixel(x, y)) << x << "," << y;
    }
}

}  // namespace
