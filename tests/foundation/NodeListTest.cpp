#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>
#include <vector>
#include "foundation/Create.h"
#include "foundation/File.h"
#include "foundation/List.h"
#include "platform/Resources.h"

namespace {

// A saveable list element that knows its name and logs its destruction.
class Item : public node {
public:
    explicit Item(char name = '?') : name(name) {}
    ~Item() override { destroyed += name; }
    void Save(File& file) override { file.Write(name); }
    void Load(File& file) override { file.Read(name); }
    const char* ClassName() const override { return "Item"; }
    static node* Make() { return new Item; }

    char name;
    static std::string destroyed;
};
std::string Item::destroyed;
CREATE itemRegistration("Item", Item::Make);

// An object that owns a list of others.
class Holder : public node {
public:
    void Save(File& file) override { children.Save(file); }
    void Load(File& file) override { children.Load(file); }
    const char* ClassName() const override { return "Holder"; }
    static node* Make() { return new Holder; }

    List children;
};
CREATE holderRegistration("Holder", Holder::Make);

char NameOf(const node* n) { return static_cast<const Item*>(n)->name; }

// The names from the head on; checks every link invariant on the way.
std::string Walk(const List& list) {
    std::string forward;
    const node* sentinel = list.Sentinel();
    EXPECT_EQ(sentinel->Next(), sentinel);
    EXPECT_EQ(list.Head()->Previous(), sentinel);
    for (node* n = list.Head(); !n->EOList(); n = n->Next()) forward += NameOf(n);
    std::string backward;
    for (node* n = sentinel->Previous(); n != sentinel; n = n->Previous()) backward.insert(backward.begin(), NameOf(n));
    EXPECT_EQ(forward, backward);
    EXPECT_EQ(static_cast<int>(forward.size()), list.Count());
    return forward;
}

// Items a, b, c added one after another: the list reads c b a.
struct Abc {
    List list;
    Item* a = new Item('a');
    Item* b = new Item('b');
    Item* c = new Item('c');
    Abc() {
        list.add(a);
        list.add(b);
        list.add(c);
        Item::destroyed.clear();
    }
};

TEST(List, EmptyListHasOnlyItsSentinel) {
    List list;
    EXPECT_EQ(list.Head(), list.Sentinel());
    EXPECT_TRUE(list.Head()->EOList());
    EXPECT_EQ(list.Count(), 0);
    list.del();
    EXPECT_EQ(list.Head(), list.Sentinel());
    EXPECT_EQ(list.Sentinel()->Previous(), list.Sentinel());
    EXPECT_EQ(list.Count(), 0);
    EXPECT_FALSE(list.EOList());
}

TEST(List, OperationsKeepTheChainWhole) {
    struct Case {
        const char* what;
        std::function<void(Abc&)> operation;
        const char* order;
        const char* destroyed;
    };
    const Case cases[] = {
        {"add at front", [](Abc& s) { s.list.add(new Item('d')); }, "dcba", ""},
        {"add before head", [](Abc& s) { s.list.add(new Item('d'), s.c); }, "dcba", ""},
        {"add before middle", [](Abc& s) { s.list.add(new Item('d'), s.b); }, "cdba", ""},
        {"add before last", [](Abc& s) { s.list.add(new Item('d'), s.a); }, "cbda", ""},
        {"add before sentinel", [](Abc& s) { s.list.add(new Item('d'), s.list.Sentinel()); }, "cbad", ""},
        {"del head", [](Abc& s) { s.list.del(s.c); }, "ba", "c"},
        {"del middle", [](Abc& s) { s.list.del(s.b); }, "ca", "b"},
        {"del last", [](Abc& s) { s.list.del(s.a); }, "cb", "a"},
        {"remove middle", [](Abc& s) { s.list.remove(s.b); }, "ca", ""},
        {"del all", [](Abc& s) { s.list.del(); }, "", "cba"},
        {"del all but one",
         [](Abc& s) {
             s.list.del(s.a);
             s.list.del(s.c);
         },
         "b", "ac"},
    };
    for (const Case& c : cases) {
        Abc s;
        c.operation(s);
        EXPECT_EQ(Walk(s.list), c.order) << c.what;
        EXPECT_EQ(Item::destroyed, c.destroyed) << c.what;
        if (std::string(c.what) == "remove middle") {
            // A removed node is the caller's again and can go into another list.
            List other;
            other.add(s.b);
            EXPECT_EQ(Walk(other), "b");
        }
    }
}

TEST(List, CopyOfAListedNodeIsInNoList) {
    Abc s;
    Item copy(*s.b);
    EXPECT_EQ(copy.Next(), nullptr);
    EXPECT_EQ(copy.Previous(), nullptr);
    copy = *s.c;
    EXPECT_EQ(copy.Next(), nullptr);
    EXPECT_EQ(copy.name, 'c');
    s.list.add(new Item(copy));
    EXPECT_EQ(Walk(s.list), "ccba");
}

TEST(List, DestructorDeletesEveryNode) {
    { Abc s; }
    EXPECT_EQ(Item::destroyed, "cba");
}

TEST(List, CloneOfNonCloningElementsGivesPlainNodes) {
    Abc s;
    std::unique_ptr<node> clone(s.list.Clone());
    auto* copy = static_cast<List*>(clone.get());
    EXPECT_EQ(copy->Count(), 3);
    int walked = 0;
    for (node* n = copy->Head(); !n->EOList(); n = n->Next(), ++walked) EXPECT_STREQ(n->ClassName(), "node");
    EXPECT_EQ(walked, 3);
    EXPECT_EQ(copy->Sentinel()->Previous()->Next(), copy->Sentinel());
}

TEST(List, AssignmentClonesInOrderAndSelfAssignmentChangesNothing) {
    Abc s;
    List& same = s.list;
    s.list = same;
    EXPECT_EQ(Walk(s.list), "cba");
    EXPECT_EQ(Item::destroyed, "");

    // Lists clone themselves, so a list of lists copies in order.
    List outer;
    List* first = new List;
    first->add(new node);
    outer.add(new List);
    outer.add(first);
    List copy;
    copy.add(new Item('x'));
    copy = outer;
    EXPECT_EQ(Item::destroyed, "x");
    ASSERT_EQ(copy.Count(), 2);
    EXPECT_EQ(static_cast<List*>(copy.Head())->Count(), 1);
    EXPECT_EQ(static_cast<List*>(copy.Head()->Next())->Count(), 0);
}

class ListFileTest : public testing::Test {
protected:
    void SetUp() override {
        path = (std::filesystem::temp_directory_path() / ("qel-list-" + std::to_string(::getpid()) + ".bin")).string();
        Item::destroyed.clear();
    }
    void TearDown() override {
        qel::SetProgramResources(nullptr);
        std::filesystem::remove(path);
    }
    std::string path;
};

TEST_F(ListFileTest, SaveWritesLastToFirstAndLoadRestoresTheOrder) {
    Abc s;
    Item* shared = new Item('s');
    s.list.add(shared);  // s c b a
    {
        File out(path.c_str(), File::Writing);
        out.Write(static_cast<node*>(shared));  // an earlier reference to one element
        s.list.Save(out);
        EXPECT_TRUE(out.Close());
    }
    {
        // Count, then the elements from the last: a is the first stored.
        File in(path.c_str(), File::Reading);
        in.SeekBegin(37);
        unsigned int count = 0;
        in.Read(count);
        EXPECT_EQ(count, 4u);
        char name[32];
        in.Read(name, 32);
        EXPECT_STREQ(name, "Item");
        in.SeekCur(4);
        char first = 0;
        in.Read(first);
        EXPECT_EQ(first, 'a');
    }
    File in(path.c_str(), File::Reading);
    node* earlier = nullptr;
    in.Read(earlier);
    List loaded;
    loaded.add(new Item('z'));  // loading adds to what is there
    loaded.Load(in);
    EXPECT_FALSE(in.HasError());
    EXPECT_EQ(Walk(loaded), "scbaz");
    EXPECT_EQ(loaded.Head(), earlier);
}

TEST_F(ListFileTest, CorruptListDataLoadsNothingWrong) {
    auto reference = [](const char* name, std::int32_t id) {
        std::vector<unsigned char> bytes(32, 0);
        std::memcpy(bytes.data(), name, std::strlen(name));
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<unsigned char>(id >> (8 * i)));
        return bytes;
    };
    auto join = [](std::initializer_list<std::vector<unsigned char>> parts) {
        std::vector<unsigned char> all;
        for (const auto& p : parts) all.insert(all.end(), p.begin(), p.end());
        return all;
    };
    using V = std::vector<unsigned char>;
    struct Case {
        const char* what;
        V data;
        const char* loaded;  // what the list holds afterwards
    };
    const Case cases[] = {
        {"count larger than the file", join({V{0xFF, 0xFF, 0xFF, 0xFF}, reference("Item", 1), V{'a'}}), ""},
        {"count one too many", join({V{2, 0, 0, 0}, reference("Item", 1), V{'a'}}), "a"},
        {"same element twice", join({V{2, 0, 0, 0}, reference("Item", 1), V{'a'}, reference("Item", 1)}), "a"},
        {"unknown class", join({V{2, 0, 0, 0}, reference("Item", 1), V{'a'}, reference("Nobody", 2), V{'b'}}), "a"},
        {"null element", join({V{1, 0, 0, 0}, V{0, 0, 0, 0}}), ""},
    };
    for (const Case& c : cases) {
        const qel::ResourceEntry entry{"RCDATA", "list.dat", c.data.data(), static_cast<std::uint32_t>(c.data.size())};
        const qel::ResourceTable table{&entry, 1};
        qel::SetProgramResources(&table);
        File in("list.dat", File::Reading);
        List list;
        list.Load(in);
        EXPECT_TRUE(in.HasError()) << c.what;
        EXPECT_EQ(Walk(list), c.loaded) << c.what;
    }
}

TEST_F(ListFileTest, ElementAlreadyInAnotherListOrOwningItselfIsRefused) {
    Holder* holder = new Holder;
    holder->children.add(new Item('k'));
    {
        File out(path.c_str(), File::Writing);
        out.Write(static_cast<node*>(holder));
        // A second list naming the holder's child, which is in a list already.
        out.Write(1u);
        out.Write(holder->children.Head());
        EXPECT_TRUE(out.Close());
    }
    delete holder;
    {
        File in(path.c_str(), File::Reading);
        node* loaded = nullptr;
        in.Read(loaded);
        in.Claim(loaded);
        ASSERT_NE(loaded, nullptr);
        EXPECT_EQ(static_cast<Holder*>(loaded)->children.Count(), 1);
        List second;
        second.Load(in);
        EXPECT_TRUE(in.HasError());
        EXPECT_EQ(second.Count(), 0);
        delete loaded;
    }
    // A holder whose list names the holder itself.
    std::vector<unsigned char> data(32, 0);
    std::memcpy(data.data(), "Holder", 6);
    data.insert(data.end(), {1, 0, 0, 0, /*count*/ 1, 0, 0, 0});
    std::vector<unsigned char> header(data.begin(), data.begin() + 36);
    data.insert(data.end(), header.begin(), header.end());
    const qel::ResourceEntry entry{"RCDATA", "self.dat", data.data(), static_cast<std::uint32_t>(data.size())};
    const qel::ResourceTable table{&entry, 1};
    qel::SetProgramResources(&table);
    File in("self.dat", File::Reading);
    node* self = nullptr;
    in.Read(self);
    in.Claim(self);
    ASSERT_NE(self, nullptr);
    EXPECT_TRUE(in.HasError());
    EXPECT_EQ(static_cast<Holder*>(self)->children.Count(), 0);
    delete self;
}

}  // namespace

TEST_F(ListFileTest, ATypedListRefusesAnElementOfAnotherClassAndTheFileFreesIt) {
    struct Case {
        const char* what;
        std::vector<node*> elements;  // saved in this order
        bool itemsOnly;               // else a list of holders
        bool sound;
        int loaded;
        std::string destroyed;  // items freed by the list and by the file, in any order
    };
    const Case cases[] = {
        {"items only", {new Item('a'), new Item('b')}, true, true, 2, "ab"},
        {"a holder among items", {new Item('a'), new Holder, new Item('c')}, true, false, 1, "a"},
        {"an item among holders", {new Holder, new Item('x')}, false, false, 1, "x"},
    };
    for (const Case& c : cases) {
        {
            List saved;
            for (node* n : c.elements) saved.add(n);  // saved from the last added on
            File out(path.c_str(), File::Writing);
            saved.Save(out);
            EXPECT_TRUE(out.Close());
        }
        Item::destroyed.clear();
        {
            File in(path.c_str(), File::Reading);
            List list;
            if (c.itemsOnly)
                list.LoadOnly<Item>(in);
            else
                list.LoadOnly<Holder>(in);
            EXPECT_EQ(!in.HasError(), c.sound) << c.what;
            EXPECT_EQ(list.Count(), c.loaded) << c.what;
        }
        std::sort(Item::destroyed.begin(), Item::destroyed.end());
        EXPECT_EQ(Item::destroyed, c.destroyed) << c.what;
    }
}
