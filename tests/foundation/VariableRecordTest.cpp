#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>
#include "foundation/File.h"
#include "foundation/List.h"
#include "foundation/UserError.h"
#include "foundation/Variable.h"
#include "foundation/VariablePTR.h"

namespace {

using Bytes = std::string;

// Stand-ins for a map and a sound of the level, known by name.
char mapObject, soundObject;
Map* const levelMap = reinterpret_cast<Map*>(&mapObject);
SoundBase* const levelSound = reinterpret_cast<SoundBase*>(&soundObject);
std::vector<Variable*> mapTexts;
int fontBuilds;
List* levelVariables;
bool levelAccepts;

class VariableRecordTest : public testing::Test {
protected:
    void SetUp() override {
        dir = std::filesystem::temp_directory_path() / ("qel-variable-" + std::to_string(::getpid()) + "-" +
                                                        testing::UnitTest::GetInstance()->current_test_info()->name());
        std::filesystem::create_directories(dir);
        mapTexts.clear();
        fontBuilds = 0;
        level = std::make_unique<List>();
        levelVariables = level.get();
        levelAccepts = true;
        VariableLinks& l = Variable::links;
        l.findMap = [](const char* name) { return std::strcmp(name, "Level map") == 0 ? levelMap : nullptr; };
        l.mapName = [](const Map* m) { return m == levelMap ? "Level map" : "?"; };
        l.addToMapTexts = [](Map*, Variable* v) { mapTexts.push_back(v); };
        l.findSound = [](const char* name) { return std::strcmp(name, "Click") == 0 ? levelSound : nullptr; };
        l.soundName = [](const SoundBase*) { return "Click"; };
        l.buildFont = [](Variable&) { ++fontBuilds; };
        l.levelVariables = [] { return levelVariables; };
        l.addToLevel = [](Variable* v) {
            if (levelAccepts) levelVariables->add(v);
            return levelAccepts;
        };
    }
    void TearDown() override {
        Variable::links = VariableLinks();
        level.reset();
        std::filesystem::remove_all(dir);
    }

    std::string PathOf(const char* leaf) const { return (dir / leaf).string(); }

    Bytes Saved(Variable& v) {
        std::string path = PathOf("saved.bin");
        {
            File file(path.c_str(), File::Writing);
            file.Write(&v);
            EXPECT_TRUE(file.Close());
        }
        return ReadBytes(path);
    }

    // Loads one object reference from the bytes; null when the file is in error.
    std::unique_ptr<Variable> Loaded(const Bytes& bytes, bool* failed = nullptr) {
        std::string path = PathOf("load.bin");
        std::ofstream(path, std::ios::binary) << bytes;
        File file(path.c_str(), File::Reading);
        node* n = nullptr;
        file.Read(n);
        file.Claim(n);
        std::unique_ptr<Variable> v(static_cast<Variable*>(n));
        if (failed) *failed = file.HasError();
        return v;
    }

    static Bytes ReadBytes(const std::string& path) {
        std::ifstream in(path, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }

    static std::string Shown(const Variable& v) { return v.m_DisplayedText ? v.m_DisplayedText : "<none>"; }

    // A text in the middle of a character-by-character effect, with every
    // kind of field set to a value of its own.
    static void Populate(Variable& v) {
        v = "Hello world";
        v.Name("Score");
        v.OnlyIntegerPart(false);
        v.Pause(true);
        v.m_Id = 7;
        v.m_TextMap = levelMap;
        v.m_InWorld = true;
        v.m_FontName = "Courier New";
        v.m_Width = 9;
        v.m_Height = 12.5f;
        v.m_Weight = 700;
        v.m_Italic = 1;
        v.m_Color = 0x010203;
        v.m_ScreenRect = QelRect{1, 2, 3, 4};
        v.m_FrameColor = 0x111111;
        v.m_ShowFrame = true;
        v.m_VScrollOffset = 2;
        v.m_HDeltaScroll = 3;
        v.m_NumberOfLines = 4;
        v.m_Frame = QelRect{10, 20, 300, 400};
        v.m_ArrowRects[2] = tagRECT{5, 6, 7, 8};
        v.m_LinesPerFrame = 6;
        v.m_ArrowsSize = 12;
        v.m_DisplayType = Variable::RespectingWords;
        v.m_EffectType = Variable::CharacterByCharacterEffect;
        v.m_EffectFinished = false;
        v.m_KeptText = new char[12];
        std::strcpy(v.m_KeptText, "Hello world");
        delete[] v.m_DisplayedText;
        v.m_DisplayedText = new char[4];
        std::strcpy(v.m_DisplayedText, "Hel");
        v.m_ShownCount = 3;
        v.m_EffectLength = 11;
        v.m_VScrollUpKey = 72;
        v.m_HScrollTriggered = true;
        v.m_NextVScrollOffset = 5;
        v.m_TopMost = true;
        v.m_FirstDelay = 4;
        v.m_SecondDelayCount = 2;
        v.m_ShownLines = 1;
        v.m_LetterSound = levelSound;
        v.m_FrameWidth = 289;
        v.m_PenX = 33;
        v.m_LocalVariableIndex = 0;
        v.LocalVariable(new Variable(42.0));
    }

    std::filesystem::path dir;
    std::unique_ptr<List> level;
};

TEST_F(VariableRecordTest, RoundTripRestoresEveryFieldAndSameBytes) {
    Variable original;
    Populate(original);
    Bytes first = Saved(original);
    bool failed = true;
    std::unique_ptr<Variable> loaded = Loaded(first, &failed);
    ASSERT_TRUE(loaded);
    EXPECT_FALSE(failed);
    EXPECT_EQ(Saved(*loaded), first);

    EXPECT_STREQ(loaded->Name(), "Score");
    EXPECT_TRUE(*loaded == "Hello world");
    EXPECT_FALSE(loaded->OnlyIntegerPart());
    EXPECT_TRUE(loaded->Pause());
    EXPECT_EQ(loaded->m_TextMap, levelMap);
    EXPECT_EQ(loaded->m_LetterSound, levelSound);
    EXPECT_STREQ(loaded->m_FontName, "Courier New");
    EXPECT_EQ(loaded->m_Height, 12.5f);
    EXPECT_EQ(loaded->m_ArrowRects[2].bottom, 8);
    EXPECT_EQ(loaded->m_VScrollUpKey, 72);
    EXPECT_EQ(loaded->m_PenX, 33);
    // The effect resumes where it was: 3 characters of the kept text shown.
    EXPECT_EQ(Shown(*loaded), "Hel");
    ASSERT_NE(loaded->m_KeptText, nullptr);
    EXPECT_STREQ(loaded->m_KeptText, "Hello world");
    EXPECT_EQ(loaded->m_TextLength, 11u);
    ASSERT_NE(loaded->LocalVariable(), nullptr);
    EXPECT_EQ(static_cast<double>(*static_cast<Variable*>(loaded->LocalVariable())), 42);
    // A whole record joins its map's texts once and gets a font.
    ASSERT_EQ(mapTexts.size(), 1u);
    EXPECT_EQ(mapTexts[0], loaded.get());
    EXPECT_GE(fontBuilds, 1);
}

TEST_F(VariableRecordTest, FirstRowsHaveTheirFixedLayout) {
    Variable v("hi");
    v.Name("abc");
    v.m_Id = 0x01020304;
    Bytes bytes = Saved(v);
    // Reference header, then the behaviour's record of four empty counts.
    ASSERT_GT(bytes.size(), 36u + 16u + 90u);
    EXPECT_EQ(bytes.substr(0, 9), Bytes("Variable\0", 9));
    std::size_t at = 36 + 16;
    EXPECT_EQ(bytes.substr(36, 16), Bytes(16, '\0'));
    Bytes rows = Bytes("\x03\0\0\0abc", 7) + Bytes("\x02\0\0\0", 4) + Bytes("\x02\0\0\0hi", 6) + Bytes("\x01\0", 2) +
                 Bytes("\x04\x03\x02\x01", 4);
    EXPECT_EQ(bytes.substr(at, rows.size()), rows);
    at += rows.size();
    Bytes valueText = bytes.substr(at, 50);
    at += 50;
    Bytes after = Bytes("\0\0\x01", 3) + Bytes("\x05\0\0\0Arial", 9) + Bytes("\x06\0\0\0", 4) +
                  Bytes("\0\0\x80\x41", 4) + Bytes("\x64\0\0\0", 4);
    EXPECT_EQ(bytes.substr(at, after.size()), after);
}

TEST_F(VariableRecordTest, NamesAndEmptyTextsComeBackAsSaved) {
    struct Case {
        const char* name;
        const char* expected;
    } cases[] = {{"FPS", "FPS_COPY"}, {"FPS_COPY", "FPS_COPY"}, {"fps", "fps"}, {"Lives", "Lives"}, {"", ""}};
    for (const Case& c : cases) {
        Variable v("");
        v.Name(c.name);
        std::unique_ptr<Variable> loaded = Loaded(Saved(v));
        ASSERT_TRUE(loaded);
        EXPECT_STREQ(loaded->Name(), c.expected);
        EXPECT_EQ(loaded->GetTag(), Variable::Text);
        EXPECT_TRUE(*loaded == "");
    }
    Variable number(2.5);
    std::unique_ptr<Variable> loaded = Loaded(Saved(number));
    EXPECT_EQ(static_cast<double>(*loaded), 2.5);
    EXPECT_EQ(Shown(*loaded), "2");
}

TEST_F(VariableRecordTest, DecodingEffectsGetTheirIndexArrayBack) {
    Variable v("ABCDEFGH");
    v.m_DisplayType = Variable::ConsecutiveCharacters;
    v.m_EffectType = Variable::RandomDecoding;
    v.m_EffectFinished = false;
    v.m_KeptText = new char[9];
    std::strcpy(v.m_KeptText, "ABCDEFGH");
    v.m_EffectLength = 5;
    std::unique_ptr<Variable> loaded = Loaded(Saved(v));
    ASSERT_TRUE(loaded && loaded->m_IndexArray);
    for (int i = 0; i < 5; ++i) EXPECT_EQ(loaded->m_IndexArray[i], i);
    EXPECT_EQ(loaded->m_IndexArray[5], -1);
}

TEST_F(VariableRecordTest, HostileCountsAreBoundedByTheTexts) {
    struct Case {
        const char* name;
        std::function<void(Variable&)> spoil;
        std::function<void(const Variable&)> check;
    } cases[] = {
        {"shown count beyond the text", [](Variable& v) { v.m_ShownCount = 1000000; },
         [](const Variable& v) { EXPECT_EQ(Shown(v), "Hello world"); }},
        {"display length beyond the text", [](Variable& v) { v.m_ShownCount = 0, v.m_TextLength = 0xFFFFFFF0u; },
         [](const Variable& v) { EXPECT_EQ(v.m_TextLength, 11u); }},
        {"negative index count",
         [](Variable& v) { v.m_EffectType = Variable::SequentialDecoding, v.m_EffectLength = -5; },
         [](const Variable& v) { EXPECT_EQ(v.m_IndexArray[0], -1); }},
        {"huge index count", [](Variable& v) { v.m_EffectType = Variable::RandomDecoding, v.m_EffectLength = 1 << 30; },
         [](const Variable& v) { EXPECT_EQ(v.m_IndexArray[11], -1); }},
    };
    for (const Case& c : cases) {
        Variable v;
        Populate(v);
        c.spoil(v);
        bool failed = true;
        std::unique_ptr<Variable> loaded = Loaded(Saved(v), &failed);
        ASSERT_TRUE(loaded) << c.name;
        EXPECT_FALSE(failed) << c.name;
        c.check(*loaded);
    }
}

TEST_F(VariableRecordTest, CorruptRecordsAreRefusedWithoutHarm) {
    Variable v;
    Populate(v);
    v = "UNIQUE_TEXT";
    Bytes good = Saved(v);
    std::size_t text = good.find("UNIQUE_TEXT");
    ASSERT_NE(text, Bytes::npos);
    std::size_t length = text - 4;
    std::size_t tag = length - 4;

    struct Case {
        const char* name;
        std::size_t offset;
        Bytes bytes;
    } cases[] = {
        {"negative text length", length, Bytes("\xFF\xFF\xFF\xFF", 4)},
        {"text length beyond the file", length, Bytes("\x00\x00\x00\x40", 4)},
        {"unknown tag", tag, Bytes("\x07\0\0\0", 4)},
    };
    for (const Case& c : cases) {
        Bytes bad = good;
        bad.replace(c.offset, c.bytes.size(), c.bytes);
        bool failed = false;
        std::unique_ptr<Variable> loaded = Loaded(bad, &failed);
        EXPECT_TRUE(failed) << c.name;
    }

    // An effect type outside its list is refused.
    {
        Variable w;
        Populate(w);
        w.m_EffectType = static_cast<Variable::EffectType>(-1);
        bool failed = false;
        Loaded(Saved(w), &failed);
        EXPECT_TRUE(failed);
    }
    // A display type above the list is what the setter stores for "not shown":
    // a save holding one loads back unchanged.
    {
        Variable w;
        Populate(w);
        w.m_DisplayType = static_cast<Variable::DisplayTypes>(9);
        bool failed = false;
        std::unique_ptr<Variable> back = Loaded(Saved(w), &failed);
        EXPECT_FALSE(failed);
        ASSERT_NE(back, nullptr);
        EXPECT_EQ(back->m_DisplayType, 9);
    }

    // Cut anywhere, a record loads as far as it goes, is marked in error and
    // never joins its map.
    for (std::size_t size = 0; size < good.size(); ++size) {
        mapTexts.clear();
        bool failed = false;
        Loaded(good.substr(0, size), &failed);
        EXPECT_TRUE(failed) << size;
        EXPECT_TRUE(mapTexts.empty()) << size;
    }
}

TEST_F(VariableRecordTest, LocalVariableOwnedElsewhereIsRefused) {
    // The record's last field is the local variable's reference; here it
    // names the variable itself, which would then own (and delete) itself.
    Variable v(1.0);
    Bytes bytes = Saved(v);
    ASSERT_EQ(bytes.substr(bytes.size() - 4), Bytes(4, '\0'));
    bytes.replace(bytes.size() - 4, 4, bytes.substr(0, 36));
    bool failed = false;
    std::unique_ptr<Variable> loaded = Loaded(bytes, &failed);
    ASSERT_TRUE(loaded);
    EXPECT_TRUE(failed);
    EXPECT_EQ(loaded->LocalVariable(), nullptr);

    // A list that names another variable's local variable would own it too.
    std::string path = PathOf("shared.bin");
    {
        Variable owner(2.0);
        owner.LocalVariable(new Variable(3.0));
        File out(path.c_str(), File::Writing);
        out.Write(&owner);
        out.Write(1u);
        out.Write(owner.LocalVariable());
        EXPECT_TRUE(out.Close());
    }
    File in(path.c_str(), File::Reading);
    node* owner = nullptr;
    in.Read(owner);
    in.Claim(owner);
    ASSERT_NE(owner, nullptr);
    EXPECT_FALSE(in.HasError());
    List list;
    list.Load(in);
    EXPECT_TRUE(in.HasError());
    EXPECT_EQ(list.Count(), 0);
    delete owner;
}

TEST_F(VariableRecordTest, TextFilesExpandTabsAndReadWindowsLineEnds) {
    struct Case {
        const char* name;
        Bytes content;
        std::string expected;
    } cases[] = {
        {"tab and line feed", "\t\n", std::string(16, ' ') + "\n"},
        {"CRLF", "one\r\ntwo\r\n", "one\ntwo\n"},
        {"LF", "one\ntwo\n", "one\ntwo\n"},
        {"lone CR", "a\rb", "a\rb"},
        {"one character", "x", "x"},
    };
    for (const Case& c : cases) {
        std::string path = PathOf("text.txt");
        std::ofstream(path, std::ios::binary) << c.content;
        Variable v(1.0);
        v.m_HScrollOffset = v.m_VScrollOffset = 9;
        v.m_EffectStarted = true;
        ASSERT_TRUE(v.LoadTextFile(path.c_str())) << c.name;
        EXPECT_EQ(Shown(v), c.expected) << c.name;
        EXPECT_TRUE(v == c.expected.c_str()) << c.name;
        EXPECT_EQ(v.m_TextLength, c.expected.size()) << c.name;
        EXPECT_EQ(v.m_HScrollOffset + v.m_VScrollOffset, 0) << c.name;
        EXPECT_FALSE(v.m_EffectStarted) << c.name;

        // Written back with the system's line ends, it reads the same.
        v.Save(PathOf("back.txt").c_str());
        Variable w;
        ASSERT_TRUE(w.LoadTextFile(PathOf("back.txt").c_str())) << c.name;
        EXPECT_EQ(Shown(w), c.expected) << c.name;
    }
}

TEST_F(VariableRecordTest, UnreadableTextFilesAreReportedAndChangeNothing) {
    std::ofstream(PathOf("empty.txt")).flush();
    for (std::string name : {PathOf("empty.txt"), PathOf("missing.txt")}) {
        Variable v("kept");
        v.m_TextLength = 99;
        EXPECT_FALSE(v.LoadTextFile(name.c_str()));
        EXPECT_EQ(_UE.ErrorMessage, "Cannot load the text file: " + name + ".");
        EXPECT_STREQ(_UE.TargetFunction, "bool Variable::LoadTextFile(char *)");
        EXPECT_EQ(v.m_TextLength, 99u);
        EXPECT_EQ(Shown(v), "kept");
        EXPECT_FALSE(v.Load(name.c_str()));
    }
    Variable v;
    EXPECT_FALSE(v.Load(static_cast<const char*>(nullptr)));
}

TEST_F(VariableRecordTest, SavingWritesTheShownOrKeptText) {
    Variable shown("shown\ntext");
    shown.Save(PathOf("shown.txt").c_str());
    EXPECT_EQ(ReadBytes(PathOf("shown.txt")), "shown\ntext");

    Variable kept(static_cast<void*>(&mapObject));  // a pointer shows nothing
    kept.m_KeptText = new char[5];
    std::strcpy(kept.m_KeptText, "kept");
    kept.Save(PathOf("kept.txt").c_str());
    EXPECT_EQ(ReadBytes(PathOf("kept.txt")), "kept");

    Variable nothing;
    nothing.Save(PathOf("nothing.txt").c_str());
    EXPECT_FALSE(std::filesystem::exists(PathOf("nothing.txt")));
    nothing.Save(static_cast<const char*>(nullptr));
}

TEST_F(VariableRecordTest, NamedVariablesOfTheLevel) {
    auto add = [&](const char* name, bool unused) {
        Variable* v = new Variable(1.0);
        v->Name(name);
        v->Unused(unused);
        level->add(v);
        return v;
    };
    Variable* b2 = add("b", true);
    Variable* b1 = add("b", true);
    Variable* a = add("a", false);

    EXPECT_EQ(Variable::Search("a"), a);
    EXPECT_EQ(Variable::Search("b"), b1);
    EXPECT_EQ(Variable::Search("zz"), nullptr);
    EXPECT_STREQ(_UE.ErrorMessage, "Variable zz not found.");
    EXPECT_STREQ(_UE.TargetFunction, "Variable* Variable::Search(char *)");

    Variable::Use("b");
    EXPECT_FALSE(b1->Unused());
    EXPECT_TRUE(b2->Unused());
    Variable::Use("b");
    EXPECT_FALSE(b2->Unused());
    _UE.ErrorMessage[0] = '\0';
    Variable::Use("b");  // the name exists, but every one is in use
    EXPECT_STREQ(_UE.ErrorMessage, "Variable b not found.");
    EXPECT_STREQ(_UE.TargetFunction, "void Variable::Use(char *)");

    VariablePTR missing("zz");
    EXPECT_EQ(static_cast<Variable*>(missing), VariablePTR::dummyVariablePtr);
    *missing += 1;  // usable at once
    VariablePTR handle(a);
    EXPECT_EQ(&*handle, a);
    handle = static_cast<Variable*>(nullptr);
    EXPECT_EQ(handle->Name(), a->Name());
    handle = b1;
    EXPECT_EQ(static_cast<Variable*>(handle), b1);
    EXPECT_EQ(static_cast<Variable*>(VariablePTR(static_cast<Variable*>(nullptr))), VariablePTR::dummyVariablePtr);
    EXPECT_EQ(static_cast<Variable*>(VariablePTR()), VariablePTR::dummyVariablePtr);
}

TEST_F(VariableRecordTest, CreatedVariablesJoinTheLevelAndTheirMap) {
    Variable proto("label");
    proto.Name("label");
    proto.m_TextMap = levelMap;
    Variable* made = proto.CreateVariable();
    ASSERT_NE(made, nullptr);
    EXPECT_NE(made, &proto);
    EXPECT_EQ(level->Head(), made);
    ASSERT_EQ(mapTexts.size(), 1u);
    EXPECT_EQ(mapTexts[0], made);
    Variable* alias = proto.CreateText();
    EXPECT_EQ(alias, level->Head());

    levelAccepts = false;  // a refused copy is gone, and no map holds it
    mapTexts.clear();
    EXPECT_EQ(proto.CreateVariable(), nullptr);
    EXPECT_TRUE(mapTexts.empty());
    EXPECT_EQ(level->Count(), 2);
}

}  // namespace
