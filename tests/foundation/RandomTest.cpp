#include <gtest/gtest.h>

#include <bit>
#include <cstdint>
#include <string>
#include <vector>
#include "foundation/File.h"
#include "foundation/Random.h"
#include "platform/Resources.h"

namespace {

std::uint32_t Bits(float f) { return std::bit_cast<std::uint32_t>(f); }

// The first draws after seeding with 1, as single-precision bit patterns,
// computed once by an independent model of the generator.
const std::uint32_t firstFloatsOfSeed1[] = {0x3ED4FDDE, 0x3DBC5817, 0x3F41A41E, 0x3F079A6F,
                                            0x3F6E3116, 0x3EC45A62, 0x3F27673C, 0x3D88E495};
// RandInt(1000) after RandReset(1): the integer generator runs from seed 78.
const unsigned int firstIntsOfSeed78[] = {1, 496, 269, 451, 100, 345, 447, 818, 696, 600};

TEST(Random, FixedSeedDrawsAFixedSequence) {
    RandReset(1);
    for (std::uint32_t expected : firstFloatsOfSeed1) EXPECT_EQ(Bits(RandFlt(1.0f)), expected);
    for (unsigned int expected : firstIntsOfSeed78) EXPECT_EQ(RandInt(1000), expected);
    Random largeRange;
    largeRange.Seed(78);
    const unsigned int firstFullRange[] = {4369955, 2132091903, 1155488255, 1938950527, 431406495};
    for (unsigned int expected : firstFullRange) EXPECT_EQ(largeRange.Int(0xFFFFFFFFu), expected);
}

TEST(Random, SeedsBelowOneStartFromOne) {
    struct Case {
        const char* what;
        unsigned int seed;
    };
    // 0, and 2^31 (whose negation does not fit an int32), start as seed 1 does.
    for (Case c : {Case{"zero", 0u}, Case{"2^31", 0x80000000u}}) {
        Random r;
        r.Seed(c.seed);
        for (std::uint32_t expected : firstFloatsOfSeed1) EXPECT_EQ(Bits(r.Next()), expected) << c.what;
    }
    RandReset(0);
    for (std::uint32_t expected : firstFloatsOfSeed1) EXPECT_EQ(Bits(RandFlt(1.0f)), expected);
    Random seventySeven;
    seventySeven.Seed(77);
    for (int i = 0; i < 10; ++i) EXPECT_EQ(RandInt(1 << 20), seventySeven.Int(1 << 20));
}

TEST(Random, DrawsStayInRange) {
    RandReset(5);
    for (int i = 0; i < 1000; ++i) {
        EXPECT_EQ(RandInt(0), 0u);
        EXPECT_EQ(RandInt(1), 0u);
        for (unsigned int n : {2u, 1000u, 0x80000000u, 0xFFFFFFFFu}) EXPECT_LT(RandInt(n), n);
        float f = RandFlt(3.0f);
        EXPECT_GT(f, 0.0f);
        EXPECT_LT(f, 3.0f);
    }
}

class RandomFileTest : public testing::Test {
protected:
    void TearDown() override { qel::SetProgramResources(nullptr); }

    std::vector<unsigned char> Saved(Random& r) {
        std::string path = testing::TempDir() + "qel-random.bin";
        {
            File out(path.c_str(), File::Writing);
            r.Save(out);
        }
        std::FILE* in = std::fopen(path.c_str(), "rb");
        std::vector<unsigned char> bytes;
        for (int c; (c = std::fgetc(in)) != EOF;) bytes.push_back(static_cast<unsigned char>(c));
        std::fclose(in);
        std::remove(path.c_str());
        return bytes;
    }

    // Loads data into r; answers the file's error.
    bool LoadInto(Random& r, const std::vector<unsigned char>& data) {
        const qel::ResourceEntry entry{"RCDATA", "random.dat", data.data(), static_cast<std::uint32_t>(data.size())};
        const qel::ResourceTable table{&entry, 1};
        qel::SetProgramResources(&table);
        File in("random.dat", File::Reading);
        qel::SetProgramResources(nullptr);
        r.Load(in);
        return in.HasError();
    }
};

TEST_F(RandomFileTest, LoadedGeneratorContinuesTheSequence) {
    Random saved;
    saved.Seed(12345);
    for (int i = 0; i < 7; ++i) saved.Next();
    std::vector<unsigned char> record = Saved(saved);
    ASSERT_EQ(record.size(), 136u);
    Random fresh;
    EXPECT_FALSE(LoadInto(fresh, record));
    for (int i = 0; i < 50; ++i) EXPECT_EQ(Bits(fresh.Next()), Bits(saved.Next()));
}

TEST_F(RandomFileTest, ImpossibleRecordIsRefusedAndLeavesTheGenerator) {
    Random source;
    source.Seed(9);
    source.Next();
    const std::vector<unsigned char> good = Saved(source);
    auto withInt32At = [&](std::size_t offset, std::uint32_t v) {
        std::vector<unsigned char> bad = good;
        for (int i = 0; i < 4; ++i) bad[offset + i] = static_cast<unsigned char>(v >> (8 * i));
        return bad;
    };
    struct Case {
        const char* what;
        std::vector<unsigned char> data;
    };
    const Case cases[] = {
        {"negative iy", withInt32At(0, 0xFFFFFFFF)},
        {"most negative iy", withInt32At(0, 0x80000000)},
        {"negative table entry", withInt32At(8 + 4 * 5, 0xF0000000)},
        {"cut short", std::vector<unsigned char>(good.begin(), good.end() - 1)},
    };
    for (const Case& c : cases) {
        Random r;
        r.Seed(3);
        Random twin;
        twin.Seed(3);
        EXPECT_TRUE(LoadInto(r, c.data)) << c.what;
        for (int i = 0; i < 20; ++i) EXPECT_EQ(Bits(r.Next()), Bits(twin.Next())) << c.what;
    }
    // Any idum is handled by the next draw.
    for (std::uint32_t idum : {0u, 0x80000000u, 0x7FFFFFFFu, 0xFFFFFFFFu}) {
        Random r;
        EXPECT_FALSE(LoadInto(r, withInt32At(4, idum)));
        for (int i = 0; i < 100; ++i) {
            float f = r.Next();
            EXPECT_GT(f, 0.0f);
            EXPECT_LT(f, 1.0f);
        }
    }
}

TEST_F(RandomFileTest, RegisteredForObjectReferences) {
    Random saved;
    saved.Seed(4);
    std::string path = testing::TempDir() + "qel-random-ref.bin";
    {
        File out(path.c_str(), File::Writing);
        out.Write(static_cast<node*>(&saved));
    }
    File in(path.c_str(), File::Reading);
    node* loaded = nullptr;
    in.Read(loaded);
    in.Claim(loaded);
    ASSERT_NE(loaded, nullptr);
    EXPECT_STREQ(loaded->ClassName(), "Random");
    EXPECT_EQ(Bits(static_cast<Random*>(loaded)->Next()), Bits(saved.Next()));
    delete loaded;
    std::remove(path.c_str());
}

}  // namespace
