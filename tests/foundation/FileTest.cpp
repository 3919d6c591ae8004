#include <gtest/gtest.h>
#include <pthread.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "foundation/Create.h"
#include "foundation/File.h"
#include "foundation/Node.h"
#include "platform/Resources.h"

namespace {

using Bytes = std::vector<unsigned char>;

// A saveable object: a number and a reference to another object.
class Probe : public node {
public:
    std::int32_t value = 0;
    node* link = nullptr;
    static int loads;
    static int destroyed;
    ~Probe() override { ++destroyed; }

    void Save(File& file) override {
        file.Write(value);
        file.Write(link);
    }
    void Load(File& file) override {
        ++loads;
        file.Read(value);
        file.Read(link);
    }
    const char* ClassName() const override { return "Probe"; }
    static node* Make() { return new Probe; }
};
int Probe::loads = 0;
int Probe::destroyed = 0;
CREATE probeRegistration("Probe", Probe::Make);

// An object whose reader takes kilobytes of stack, as the field readers of
// the engine's sprites and texts do; it links to another object.
class Heavy : public node {
public:
    node* link = nullptr;
    void Save(File& file) override { file.Write(link); }
    void Load(File& file) override {
        volatile unsigned char frame[4096];
        frame[0] = 0;
        file.Read(link);
        // In use after the read: the frame stays while the objects below load.
        frame[sizeof frame - 1] = 0;
    }
    const char* ClassName() const override { return "Heavy"; }
    static node* Make() { return new Heavy; }
};
CREATE heavyRegistration("Heavy", Heavy::Make);

// An object whose storage is always the same block, as a pool or the heap
// may hand back the block of an object deleted a moment ago.
class Recycled : public node {
public:
    static void* operator new(std::size_t size) {
        EXPECT_LE(size, sizeof slot);
        return slot;
    }
    static void operator delete(void*) {}
    void Save(File&) override {}
    void Load(File&) override {}
    const char* ClassName() const override { return "Recycled"; }
    static node* Make() { return new Recycled; }

private:
    alignas(std::max_align_t) static inline unsigned char slot[256];
};
CREATE recycledRegistration("Recycled", Recycled::Make);

class FileTest : public testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("qel-file-" + std::to_string(::getpid()) + "-" +
                                                        testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        Probe::loads = 0;
        Probe::destroyed = 0;
    }
    void TearDown() override {
        qel::SetProgramResources(nullptr);
        std::filesystem::remove_all(dir);
    }

    std::string PathOf(const char* leaf) const { return (dir / leaf).string(); }

    Bytes Written(const std::function<void(File&)>& write) {
        std::string path = PathOf("written.bin");
        {
            File file(path.c_str(), File::Writing);
            write(file);
            EXPECT_TRUE(file.Close());
        }
        std::ifstream in(path, std::ios::binary);
        return Bytes(std::istreambuf_iterator<char>(in), {});
    }

    void PutOnDisk(const char* leaf, const Bytes& bytes) {
        std::ofstream out(PathOf(leaf), std::ios::binary);
        out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    }

    // Makes bytes a program resource under that name. The data is a heap
    // block of exactly its size, so an over-read shows under AddressSanitizer.
    void PutInResources(const std::string& name, const Bytes& bytes) {
        resourceName = name;
        resourceData = std::make_unique<unsigned char[]>(bytes.size());
        std::memcpy(resourceData.get(), bytes.data(), bytes.size());
        entry = {"RCDATA", resourceName.c_str(), resourceData.get(), static_cast<std::uint32_t>(bytes.size())};
        table = {&entry, 1};
        qel::SetProgramResources(&table);
    }

    std::filesystem::path dir;
    std::string resourceName;
    std::unique_ptr<unsigned char[]> resourceData;
    qel::ResourceEntry entry{};
    qel::ResourceTable table{};
};

Bytes Reference(const char* name, std::int32_t id) {
    Bytes bytes(32, 0);
    std::memcpy(bytes.data(), name, std::strlen(name));
    for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(static_cast<std::uint32_t>(id) >> (8 * i)));
    return bytes;
}

Bytes operator+(Bytes a, const Bytes& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

Bytes Prefix(Bytes bytes, std::size_t n) {
    bytes.resize(n);
    return bytes;
}

TEST_F(FileTest, TypedValuesHaveFixedLittleEndianImages) {
    struct Case {
        const char* type;
        std::function<void(File&)> write;
        Bytes image;
        std::function<bool(File&)> readsBack;
    };
    const Case cases[] = {
        {"bool",
         [](File& f) { f.Write(true); },
         {1},
         [](File& f) {
             bool v = false;
             f.Read(v);
             return v;
         }},
        {"char",
         [](File& f) { f.Write('A'); },
         {0x41},
         [](File& f) {
             char v;
             f.Read(v);
             return v == 'A';
         }},
        {"unsigned char",
         [](File& f) { f.Write((unsigned char)0xFE); },
         {0xFE},
         [](File& f) {
             unsigned char v;
             f.Read(v);
             return v == 0xFE;
         }},
        {"short",
         [](File& f) { f.Write((short)-2); },
         {0xFE, 0xFF},
         [](File& f) {
             short v;
             f.Read(v);
             return v == -2;
         }},
        {"unsigned short",
         [](File& f) { f.Write((unsigned short)0x1234); },
         {0x34, 0x12},
         [](File& f) {
             unsigned short v;
             f.Read(v);
             return v == 0x1234;
         }},
        {"int",
         [](File& f) { f.Write(-1); },
         {0xFF, 0xFF, 0xFF, 0xFF},
         [](File& f) {
             int v;
             f.Read(v);
             return v == -1;
         }},
        {"unsigned int",
         [](File& f) { f.Write(0x01020304u); },
         {4, 3, 2, 1},
         [](File& f) {
             unsigned int v;
             f.Read(v);
             return v == 0x01020304u;
         }},
        {"long",
         [](File& f) { f.Write(-2L); },
         {0xFE, 0xFF, 0xFF, 0xFF},
         [](File& f) {
             long v;
             f.Read(v);
             return v == -2L;
         }},
        {"unsigned long",
         [](File& f) { f.Write(0xDEADBEEFul); },
         {0xEF, 0xBE, 0xAD, 0xDE},
         [](File& f) {
             unsigned long v;
             f.Read(v);
             return v == 0xDEADBEEFul;
         }},
        {"float",
         [](File& f) { f.Write(1.0f); },
         {0, 0, 0x80, 0x3F},
         [](File& f) {
             float v;
             f.Read(v);
             return v == 1.0f;
         }},
        {"double",
         [](File& f) { f.Write(-2.5); },
         {0, 0, 0, 0, 0, 0, 0x04, 0xC0},
         [](File& f) {
             double v;
             f.Read(v);
             return v == -2.5;
         }},
        {"tagRECT",
         [](File& f) {
             f.Write(tagRECT{1, 2, 3, -1});
         },
         {1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0xFF, 0xFF, 0xFF, 0xFF},
         [](File& f) {
             tagRECT r;
             f.Read(r);
             return r.left == 1 && r.top == 2 && r.right == 3 && r.bottom == -1;
         }},
        {"QelRect",
         [](File& f) {
             f.Write(QelRect{0, 480, 640, 0x01020304});
         },
         {0, 0, 0, 0, 0xE0, 1, 0, 0, 0x80, 2, 0, 0, 4, 3, 2, 1},
         [](File& f) {
             QelRect r;
             f.Read(r);
             return r.top == 480 && r.right == 640 && r.bottom == 0x01020304;
         }},
        // Stored top, left, bottom, right.
        {"FRECT",
         [](File& f) {
             f.Write(FRECT{1.0f, 2.0f, -1.0f, 0.5f});
         },
         {0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x80, 0xBF, 0, 0, 0, 0x3F},
         [](File& f) {
             FRECT r;
             f.Read(r);
             return r.top == 1.0f && r.left == 2.0f && r.bottom == -1.0f && r.right == 0.5f;
         }},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(Written(c.write), c.image) << c.type;
        File in(PathOf("written.bin").c_str(), File::Reading);
        EXPECT_TRUE(c.readsBack(in)) << c.type;
        EXPECT_EQ(in.Position(), static_cast<long>(c.image.size())) << c.type;
        EXPECT_FALSE(in.HasError()) << c.type;
    }
}

TEST_F(FileTest, ObjectWrittenTwiceCostsItsDataOnceAndReadsBackAsOneObject) {
    Probe shared;
    shared.value = 7;
    Bytes bytes = Written([&](File& f) {
        f.Write(&shared);
        f.Write(&shared);
    });
    // First reference: name, id 1, then value and a null link; the second is 36 bytes.
    Bytes first = Reference("Probe", 1) + Bytes{7, 0, 0, 0} + Bytes{0, 0, 0, 0};
    EXPECT_EQ(bytes, first + Reference("Probe", 1));

    File in(PathOf("written.bin").c_str(), File::Reading);
    node* a = nullptr;
    node* b = nullptr;
    in.Read(a);
    in.Read(b);
    in.Claim(a);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(a, b);
    EXPECT_EQ(Probe::loads, 1);
    EXPECT_EQ(static_cast<Probe*>(a)->value, 7);
    EXPECT_FALSE(in.HasError());
    delete a;
}

TEST_F(FileTest, AnObjectReadWhereADeletedOneLayIsClaimedAfresh) {
    Recycled first, second;
    Written([&](File& f) {
        f.Write(&first);
        f.Write(&second);
    });
    File in(PathOf("written.bin").c_str(), File::Reading);
    node* a = nullptr;
    in.Read(a);
    ASSERT_TRUE(in.Claim(a));
    delete a;  // its owner let it go while the file is still being read
    node* b = nullptr;
    in.Read(b);
    ASSERT_EQ(b, a) << "the same block again";
    EXPECT_TRUE(in.Claim(b));
    EXPECT_FALSE(in.HasError());
    delete b;
}

TEST_F(FileTest, NullReferenceIsFourZeroBytes) {
    EXPECT_EQ(Written([](File& f) { f.Write(nullptr); }), (Bytes{0, 0, 0, 0}));
    File in(PathOf("written.bin").c_str(), File::Reading);
    Probe untouched;
    node* p = &untouched;
    in.Read(p);
    in.Claim(p);
    EXPECT_EQ(p, nullptr);
    EXPECT_EQ(in.Position(), 4);
    EXPECT_FALSE(in.HasError());
}

TEST_F(FileTest, CycleRoundTrips) {
    Probe a, b;
    a.value = 1;
    b.value = 2;
    a.link = &b;
    b.link = &a;
    Written([&](File& f) { f.Write(&a); });
    File in(PathOf("written.bin").c_str(), File::Reading);
    node* p = nullptr;
    in.Read(p);
    in.Claim(p);
    auto* a2 = static_cast<Probe*>(p);
    ASSERT_NE(a2, nullptr);
    auto* b2 = static_cast<Probe*>(a2->link);
    ASSERT_NE(b2, nullptr);
    EXPECT_EQ(b2->value, 2);
    EXPECT_EQ(b2->link, a2);
    EXPECT_EQ(Probe::loads, 2);
    // Only the top object was taken: the file frees the other one.
    delete a2;
}

TEST_F(FileTest, TwoFilesNumberTheirObjectsIndependently) {
    Probe x, y;
    Bytes one = Written([&](File& f) {
        f.Write(&x);
        f.Write(&y);
    });
    Bytes two = Written([&](File& f) { f.Write(&y); });
    ASSERT_EQ(one.size(), 2 * (36 + 8u));
    EXPECT_EQ(Bytes(one.begin() + 44, one.begin() + 80), Reference("Probe", 2));
    EXPECT_EQ(Bytes(two.begin(), two.begin() + 36), Reference("Probe", 1));
}

TEST_F(FileTest, ProgramResourceWinsOverDiskFileOfTheSameName) {
    PutOnDisk("shared.dat", {1, 2, 3, 4});
    std::string name = PathOf("shared.dat");
    PutInResources(name, {9, 8});
    File in(name.c_str(), File::Reading);
    EXPECT_EQ(in.Size(), 2);
    unsigned char b[2] = {};
    in.Read(b, 2);
    EXPECT_EQ(b[0], 9);
    EXPECT_EQ(b[1], 8);
    EXPECT_TRUE(in.EndOfFile());
    EXPECT_FALSE(in.HasError());
}

TEST_F(FileTest, ResourceFileCannotBeWrittenAndLeavesTheDiskFileAlone) {
    PutOnDisk("save.sav", {1, 2, 3});
    std::string name = PathOf("save.sav");
    PutInResources(name, {5});
    {
        File out(name.c_str(), File::Writing);
        out.Write(42);
        EXPECT_TRUE(out.HasError());
        EXPECT_FALSE(out.Close());
    }
    std::ifstream disk(name, std::ios::binary);
    EXPECT_EQ(Bytes(std::istreambuf_iterator<char>(disk), {}), (Bytes{1, 2, 3}));
}

TEST_F(FileTest, EndOfFileOnResourceAtTheEndButOnDiskOnlyAfterAReadRunsIntoIt) {
    PutOnDisk("disk.dat", {1, 2, 3});
    File disk(PathOf("disk.dat").c_str(), File::Reading);
    disk.SeekEnd(0);
    EXPECT_EQ(disk.Position(), 3);
    EXPECT_FALSE(disk.EndOfFile());
    disk.SeekEnd(1);
    char c = 0;
    disk.Read(c);
    EXPECT_EQ(c, 3);
    EXPECT_FALSE(disk.EndOfFile());
    disk.Read(c);
    EXPECT_TRUE(disk.EndOfFile());

    PutInResources("res.dat", {1, 2, 3});
    File res("res.dat", File::Reading);
    EXPECT_FALSE(res.EndOfFile());
    res.SeekEnd(1);
    EXPECT_EQ(res.Position(), 2);
    EXPECT_FALSE(res.EndOfFile());
    res.SeekEnd(0);
    EXPECT_TRUE(res.EndOfFile());
    res.SeekBegin(1);
    res.SeekCur(1);
    EXPECT_EQ(res.Position(), 2);
    EXPECT_FALSE(res.HasError());
}

TEST_F(FileTest, ReadsNeverPassTheEndAndMissingBytesReadAsZero) {
    PutOnDisk("short.dat", {0x11, 0x22, 0x33});
    PutInResources("short.res", {0x11, 0x22, 0x33});
    for (std::string name : {PathOf("short.dat"), std::string("short.res")}) {
        File in(name.c_str(), File::Reading);
        EXPECT_EQ(in.BytesLeft(), 3) << name;
        unsigned int v = 0xFFFFFFFF;
        in.Read(v);
        EXPECT_EQ(v, 0x332211u) << name;
        EXPECT_TRUE(in.HasError()) << name;
        EXPECT_TRUE(in.EndOfFile()) << name;
        // Once in error, everything reads as zero.
        in.SeekBegin(0);
        unsigned char c = 0xFF;
        in.Read(c);
        EXPECT_EQ(c, 0) << name;
    }
}

TEST_F(FileTest, SeekOutsideAResourceIsAnError) {
    PutInResources("res.dat", {1, 2, 3});
    for (auto seek : std::vector<std::function<void(File&)>>{
             [](File& f) { f.SeekBegin(4); }, [](File& f) { f.SeekBegin(-1); }, [](File& f) { f.SeekCur(-1); },
             [](File& f) { f.SeekEnd(4); }, [](File& f) { f.SeekEnd(-1); }}) {
        File in("res.dat", File::Reading);
        seek(in);
        EXPECT_TRUE(in.HasError());
        EXPECT_GE(in.Position(), 0);
        EXPECT_LE(in.Position(), 3);
        char c = 1;
        in.Read(c);
        EXPECT_EQ(c, 0);
    }
}

TEST_F(FileTest, CorruptObjectDataReportsAnErrorWithoutOverReading) {
    Probe seven;
    seven.value = 7;
    Bytes unterminated = Bytes(32, 'A') + Bytes{1, 0, 0, 0};
    struct Case {
        const char* what;
        Bytes data;
        int readsBeforeFailing;  // references read fine before the bad one
    };
    const Case cases[] = {
        {"name cut short", Prefix(Reference("Probe", 1), 10), 0},
        {"id cut short", Prefix(Reference("Probe", 1), 34), 0},
        {"object data cut short", Reference("Probe", 1) + Bytes{7, 0}, 0},
        {"unknown class", Reference("Nothing", 1) + Bytes{7, 0, 0, 0, 0, 0, 0, 0}, 0},
        {"unterminated name", unterminated, 0},
        {"id zero", Reference("Probe", 0) + Bytes(8, 0), 0},
        {"id negative", Reference("Probe", -3) + Bytes(8, 0), 0},
        {"known id under another class", Reference("Probe", 1) + Bytes{7, 0, 0, 0, 0, 0, 0, 0} + Reference("Random", 1),
         1},
    };
    for (const Case& c : cases) {
        PutInResources("bad.dat", c.data);
        File in("bad.dat", File::Reading);
        std::vector<node*> made;
        for (int i = 0; i < c.readsBeforeFailing; ++i) {
            node* p = nullptr;
            in.Read(p);
            in.Claim(p);
            EXPECT_NE(p, nullptr) << c.what;
            made.push_back(p);
        }
        EXPECT_FALSE(in.HasError()) << c.what;
        node* bad = nullptr;
        in.Read(bad);
        EXPECT_TRUE(in.HasError()) << c.what;
        if (bad != nullptr) {
            // A cut-short object may come back filled with zeros, never another type.
            EXPECT_STREQ(bad->ClassName(), "Probe") << c.what;
            in.Claim(bad);
            made.push_back(bad);
        }
        for (node* p : made) delete p;
    }
}

TEST_F(FileTest, DeeplyNestedObjectsStopWithAnErrorInsteadOfExhaustingTheStack) {
    // Each object's link is a new object, deeper than any real graph.
    Bytes data;
    for (int id = 1; id <= 20000; ++id) {
        Bytes one = Reference("Probe", id);
        data.insert(data.end(), one.begin(), one.end());
        data.insert(data.end(), 4, 0);
    }
    PutInResources("deep.dat", data);
    node* top = nullptr;
    {
        File in("deep.dat", File::Reading);
        in.Read(top);
        EXPECT_TRUE(in.HasError());
    }
    // The top object is the reader's; the chain below it was taken by nobody:
    // the file frees it (a leak otherwise).
    delete top;
}

TEST_F(FileTest, NestingStopsLongBeforeReadersOfKilobytesExhaustAThreadsStack) {
    // A chain deeper than any real graph, each level costing 4 KB of stack,
    // read on a thread of the usual 8 MB.
    Bytes data;
    for (int id = 1; id <= 5000; ++id) {
        const Bytes one = Reference("Heavy", id);
        data.insert(data.end(), one.begin(), one.end());
    }
    data.insert(data.end(), 4, 0);
    PutInResources("heavy.dat", data);
    bool refused = false;
    auto read = [&] {
        File in("heavy.dat", File::Reading);
        node* top = nullptr;
        in.Read(top);
        refused = in.HasError();
        delete top;
    };
    pthread_attr_t attributes;
    pthread_attr_init(&attributes);
    pthread_attr_setstacksize(&attributes, 8u << 20);
    pthread_t reader;
    auto run = [](void* work) -> void* {
        (*static_cast<std::function<void()>*>(work))();
        return nullptr;
    };
    std::function<void()> work = read;
    ASSERT_EQ(pthread_create(&reader, &attributes, run, &work), 0);
    pthread_join(reader, nullptr);
    pthread_attr_destroy(&attributes);
    EXPECT_TRUE(refused);
}

TEST_F(FileTest, WhatTheWriterAcceptsTheReaderReadsBack) {
    // Chains of objects each linking the next, as a game may make of its
    // variables: a chain too deep to read back is refused when written (its
    // save fails and the old one stays), never read back as corrupt. The
    // writer stops at that depth too, so a long chain cannot exhaust its stack.
    const struct {
        int length;
        bool accepted;
    } cases[] = {{1, true}, {64, true}, {256, true}, {257, false}, {300, false}, {2000, false}, {200000, false}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.length);
        std::vector<std::unique_ptr<Probe>> chain;
        for (int i = 0; i < c.length; ++i) {
            chain.push_back(std::make_unique<Probe>());
            chain.back()->value = i;
            if (i > 0) chain[std::size_t(i) - 1]->link = chain.back().get();
        }
        const std::string path = PathOf("chain.bin");
        bool written = false;
        {
            File out(path.c_str(), File::Writing);
            out.Write(chain.front().get());
            written = out.Close();
        }
        EXPECT_EQ(written, c.accepted);
        if (!written) continue;
        File in(path.c_str(), File::Reading);
        node* top = nullptr;
        in.Read(top);
        EXPECT_FALSE(in.HasError());
        int length = 0;
        for (node* p = top; p != nullptr; p = static_cast<Probe*>(p)->link)
            EXPECT_EQ(static_cast<Probe*>(p)->value, length++);
        EXPECT_EQ(length, c.length);
        delete top;
    }
}

TEST_F(FileTest, ShortWriteIsReported) {
    if (!std::filesystem::exists("/dev/full")) GTEST_SKIP() << "no /dev/full";
    File out("/dev/full", File::Writing);
    std::vector<char> block(1 << 16, 'x');
    out.Write(block.data(), static_cast<int>(block.size()));
    EXPECT_FALSE(out.Close());
    EXPECT_TRUE(out.HasError());
}

TEST_F(FileTest, CreateObjectFindsRegisteredClassesByExactName) {
    node* made = File::CreateObject("Probe");
    ASSERT_NE(made, nullptr);
    EXPECT_STREQ(made->ClassName(), "Probe");
    delete made;
    EXPECT_EQ(File::CreateObject("probe"), nullptr);
    EXPECT_EQ(File::CreateObject("node"), nullptr);
    EXPECT_EQ(File::CreateObject(nullptr), nullptr);
    EXPECT_EQ(File::CreateObject(""), nullptr);
}

using FileDeathTest = FileTest;

TEST_F(FileDeathTest, DiskFileThatCannotBeOpenedEndsTheProgram) {
    std::string missing = PathOf("no/such/folder/file.dat");
    EXPECT_DEATH({ File in(missing.c_str(), File::Reading); }, "Could not open the file .*file.dat for reading.");
    EXPECT_DEATH({ File out(missing.c_str(), File::Writing); }, "Could not open the file .*file.dat for writing.");
}

}  // namespace

TEST_F(FileTest, ObjectsNobodyTookAreFreedWithTheFile) {
    // A probe whose link names a second one: two objects made by the reader.
    const Bytes pair = Reference("Probe", 1) + Bytes{1, 0, 0, 0} + Reference("Probe", 2) + Bytes(8, 0);
    struct Case {
        const char* what;
        bool takeTop, takeLinked;
        int freedByFile, unclaimedAtEnd;
    };
    // The top object is the reader's whether it claims it or not.
    const Case cases[] = {
        {"nothing taken", false, false, 1, 1},
        {"top taken", true, false, 1, 1},
        {"both taken", true, true, 0, 0},
    };
    for (const Case& c : cases) {
        PutInResources("pair.dat", pair);
        Probe::destroyed = 0;
        node* top = nullptr;
        node* linked = nullptr;
        {
            File in("pair.dat", File::Reading);
            in.Read(top);
            ASSERT_NE(top, nullptr) << c.what;
            linked = static_cast<Probe*>(top)->link;
            if (c.takeTop) {
                EXPECT_TRUE(in.Claim(top)) << c.what;
            }
            if (c.takeLinked) {
                EXPECT_TRUE(in.Claim(linked)) << c.what;
            }
            EXPECT_EQ(in.Unclaimed(), c.unclaimedAtEnd) << c.what;
        }
        EXPECT_EQ(Probe::destroyed, c.freedByFile) << c.what;
        delete top;
        if (c.takeLinked) delete linked;
    }
}

TEST_F(FileTest, AnObjectItsOwnerDeletedDuringTheReadCanNoLongerBeReferenced) {
    // A probe linking to a second, then a reference to the second.
    const Bytes pair = Reference("Probe", 1) + Bytes{1, 0, 0, 0} + Reference("Probe", 2) + Bytes(8, 0);
    const Bytes data = pair + Reference("Probe", 2);
    struct Case {
        const char* what;
        bool readFurtherReferenceFirst;  // else after the deletion
    };
    // Either the further reference already points at it, or it would be
    // handed the freed object: both make the file corrupt.
    const Case cases[] = {{"referenced again before", true}, {"referenced again after", false}};
    for (const Case& c : cases) {
        PutInResources("forgotten.dat", data);
        File in("forgotten.dat", File::Reading);
        node* top = nullptr;
        in.Read(top);
        ASSERT_NE(top, nullptr);
        node* linked = static_cast<Probe*>(top)->link;
        ASSERT_TRUE(in.Claim(top) && in.Claim(linked));
        node* further = nullptr;
        if (c.readFurtherReferenceFirst) in.Read(further);
        EXPECT_FALSE(in.HasError()) << c.what;
        in.Forget(linked);
        delete linked;
        if (!c.readFurtherReferenceFirst) {
            in.Read(further);
            EXPECT_EQ(further, nullptr) << c.what;
        }
        EXPECT_TRUE(in.HasError()) << c.what;
        delete top;
    }
}

TEST_F(FileTest, WhatATopLevelReadReturnsOutlivesTheFile) {
    // Two probes linked to one another, then a further reference to each.
    const Bytes pair =
        Reference("Probe", 1) + Bytes{1, 0, 0, 0} + Reference("Probe", 2) + Bytes{2, 0, 0, 0} + Reference("Probe", 1);
    PutInResources("pair.dat", pair + Reference("Probe", 2) + Reference("Probe", 1));
    Probe::destroyed = 0;
    node* top = nullptr;
    node* again = nullptr;
    node* first = nullptr;
    {
        File in("pair.dat", File::Reading);
        in.Read(top);
        // A later top-level reference to an object read inside hands that
        // one over too; one to the caller's own object is the same object.
        in.Read(again);
        in.Read(first);
        EXPECT_FALSE(in.HasError());
        EXPECT_EQ(in.Unclaimed(), 0);
    }
    EXPECT_EQ(Probe::destroyed, 0);
    ASSERT_NE(top, nullptr);
    EXPECT_EQ(first, top);
    EXPECT_EQ(static_cast<Probe*>(top)->value, 1);
    ASSERT_EQ(static_cast<Probe*>(top)->link, again);
    EXPECT_EQ(static_cast<Probe*>(again)->value, 2);
    delete top;
    delete again;
    EXPECT_EQ(Probe::destroyed, 2);
}

TEST_F(FileTest, ObjectsReadForAnObjectLoadedInPlaceStayTheFilesUntilClaimed) {
    const Bytes data = Reference("Probe", 1) + Bytes{1, 0, 0, 0} + Bytes(4, 0);
    PutInResources("inplace.dat", data);
    Probe::destroyed = 0;
    Probe owner;
    node* part = nullptr;
    {
        File in("inplace.dat", File::Reading);
        File::InPlace reading(in, owner);
        in.Read(part);
        ASSERT_NE(part, nullptr);
        EXPECT_EQ(in.Unclaimed(), 1);
    }
    EXPECT_EQ(Probe::destroyed, 1) << "its unclaimed part goes with the file";
}
