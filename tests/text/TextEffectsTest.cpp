#include <cctype>

#include "TextFixture.h"
#include "foundation/Random.h"

namespace {

using namespace texttest;

int letterSounds = 0;
char soundObject;
SoundBase* const Click = reinterpret_cast<SoundBase*>(&soundObject);

class TextEffectsTest : public TextTest {
protected:
    void SetUp() override {
        TextTest::SetUp();
        saved = Variable::links;
        letterSounds = 0;
        Variable::links.playSound = [](SoundBase* s) { letterSounds += s == Click ? 1 : 1000; };
        Variable::links.findSound = [](const char* name) {
            return std::string(name) == "click" ? Click : static_cast<SoundBase*>(nullptr);
        };
        Variable::TextEffectGenerator().Seed(7);
    }
    void TearDown() override {
        Variable::links = saved;
        TextTest::TearDown();
    }

    static std::string Shown(const Variable& v) { return v.m_DisplayedText ? v.m_DisplayedText : "<null>"; }

    // Frames until the effect ends (at most `limit`); the shown text of each.
    std::vector<std::string> Run(Variable& v, int limit = 200) {
        std::vector<std::string> shown;
        for (int frame = 0; frame < limit && !v.m_EffectFinished; ++frame) {
            v.DisplayText();
            shown.push_back(Shown(v));
        }
        return shown;
    }

    VariableLinks saved;
};

// A letter stays a letter of its case, a digit a digit; the rest is kept.
bool SameClass(char shown, char kept) {
    const auto s = static_cast<unsigned char>(shown), k = static_cast<unsigned char>(kept);
    if (std::isupper(k)) return std::isupper(s);
    if (std::islower(k)) return std::islower(s);
    if (std::isdigit(k)) return std::isdigit(s);
    return s == k;
}

TEST_F(TextEffectsTest, WithoutADelayTheTextStaysHidden) {
    Variable v;
    Setup(v, "hello", Variable::RespectingWords);
    v.Delay(0, 5);
    v.Effect(Variable::CharacterByCharacterEffect);
    for (int frame = 0; frame < 20; ++frame) v.DisplayText();
    EXPECT_TRUE(drawn.empty());
    EXPECT_FALSE(v.m_EffectFinished);
    EXPECT_STREQ(v.m_KeptText, "hello");
}

TEST_F(TextEffectsTest, TypingShowsOneCharacterPerStepThenTheWholeText) {
    Variable v;
    Setup(v, "ab c\nde", Variable::RespectingWords);
    v.LetterSound("click");
    v.Delay(2, 0);
    v.Effect(Variable::CharacterByCharacterEffect);
    EXPECT_EQ(v.m_EffectLength, 7);
    std::vector<std::string> shown;
    std::vector<std::size_t> drawnPerFrame;
    while (!v.m_EffectFinished && shown.size() < 50) {
        drawn.clear();
        v.DisplayText();
        shown.push_back(Shown(v));
        drawnPerFrame.push_back(drawn.size());
    }
    const std::vector<std::string> expected = {"<null>", "a",       "a",       "ab",       "ab",
                                               "ab ",    "ab ",     "ab c",    "ab c",     "ab c\n",
                                               "ab c\n", "ab c\nd", "ab c\nd", "ab c\nde", "ab c\nde"};
    EXPECT_EQ(shown, expected);
    EXPECT_EQ(drawnPerFrame.back(), 6u);  // the line feed is not drawn
    EXPECT_EQ(letterSounds, 5) << "letters only";
    EXPECT_EQ(v.m_EffectLength, 0);
    EXPECT_EQ(v.m_KeptText, nullptr);
}

TEST_F(TextEffectsTest, OnlyTheFirstScreenfulIsTyped) {
    struct Case {
        Variable::DisplayTypes type;
        const char* text;
        int frameHeight;
        int screenful;
    } cases[] = {
        {Variable::ConsecutiveCharacters, "abcdefghijklmnopqrstuvwxyz0123", 20, 18},
        {Variable::RespectingWords, "hello world foo bar", 20, 15},                     // "hello " / "world foo"
        {Variable::RespectingWords, "  ab", 20, 4},                                     // leading spaces are passed
        {Variable::HorizontalScrolling, "abcdefghijklmnopqrstuvwxyz\nxy\nzz", 36, 30},  // whole lines
    };
    for (const Case& c : cases) {
        Variable v;
        Setup(v, c.text, c.type, QelRect{0, 0, 101, c.frameHeight});
        v.Delay(1, 0);
        v.Effect(Variable::CharacterByCharacterEffect);
        EXPECT_EQ(v.m_EffectLength, c.screenful) << c.text;
        const std::vector<std::string> shown = Run(v);
        ASSERT_GE(shown.size(), 2u);
        EXPECT_EQ(shown[shown.size() - 2], std::string(c.text).substr(0, std::size_t(c.screenful))) << c.text;
        EXPECT_EQ(shown.back(), c.text) << "then the whole text at once";
    }
}

TEST_F(TextEffectsTest, LineByLineRevealsTextLinesUpToTheFrame) {
    struct Case {
        const char* text;
        std::vector<std::string> shown;
        int sounds;
    } cases[] = {
        {"one\ntwo\nthree\nfour", {"one\n", "one\ntwo\n", "one\ntwo\nthree\n", "one\ntwo\nthree\nfour"}, 3},
        // A text ending right after a line feed counts one line more.
        {"a\nb\n", {"a\n", "a\nb\n", "a\nb\n"}, 2},
    };
    for (const Case& c : cases) {
        Variable v;
        Setup(v, c.text, Variable::RespectingWords, QelRect{0, 0, 101, 30});  // three rows
        v.LetterSound("click");
        letterSounds = 0;
        v.Delay(1, 0);
        v.Effect(Variable::LineByLineEffect);
        EXPECT_EQ(Run(v), c.shown) << c.text;
        EXPECT_EQ(letterSounds, c.sounds) << c.text;
    }
}

TEST_F(TextEffectsTest, AsciiFlickersForTheSecondDelayThenStands) {
    Variable v;
    Setup(v, "Ab1 .z", Variable::RespectingWords);
    v.LetterSound("click");
    v.Delay(2, 3);
    v.Effect(Variable::ASCIIEffect);
    const std::vector<std::string> shown = Run(v);
    ASSERT_EQ(shown.size(), 8u);  // a step every second frame; the fourth step ends it
    for (std::size_t frame = 0; frame < 6; ++frame) {
        if (frame % 2 == 0 && frame == 0) {
            EXPECT_EQ(shown[frame], "<null>");
            continue;
        }
        ASSERT_EQ(shown[frame].size(), 6u) << frame;
        for (std::size_t i = 0; i < 6; ++i) EXPECT_TRUE(SameClass(shown[frame][i], "Ab1 .z"[i])) << shown[frame];
    }
    EXPECT_EQ(shown.back(), "Ab1 .z");
    EXPECT_EQ(letterSounds, 3 * 6 + 1) << "every character of every step, then once";
}

TEST_F(TextEffectsTest, DelayCountsOfAnyStoredValueRunDownAndTheEffectEnds) {
    // A saved text brings its counts as they were stored; the extreme ones
    // count down to the next step like any other.
    struct Case {
        Variable::EffectType effect;
        std::int32_t first, second;
    } cases[] = {
        {Variable::CharacterByCharacterEffect, INT32_MIN, 0}, {Variable::LineByLineEffect, INT32_MIN, 0},
        {Variable::ASCIIEffect, INT32_MIN, INT32_MIN},        {Variable::RandomDecoding, 1, INT32_MIN},
        {Variable::SequentialDecoding, INT32_MIN, INT32_MIN}, {Variable::CharacterByCharacterEffect, -1, 0},
    };
    for (const Case& c : cases) {
        Variable v;
        Setup(v, "ab cd", Variable::RespectingWords);
        v.Delay(1, 2);
        v.Effect(c.effect);
        v.m_FirstDelayCount = c.first;
        v.m_SecondDelayCount = c.second;
        Run(v);
        EXPECT_TRUE(v.m_EffectFinished) << c.effect << " " << c.first << " " << c.second;
        EXPECT_EQ(Shown(v), "ab cd") << c.effect;
    }
}

TEST_F(TextEffectsTest, DecodingScramblesOnlyLettersAndDigitsUntilAllAreRevealed) {
    const std::string text = "Hi, 42!\nok";
    for (Variable::EffectType effect : {Variable::RandomDecoding, Variable::SequentialDecoding}) {
        Variable v;
        Setup(v, text.c_str(), Variable::RespectingWords);
        v.LetterSound("click");
        letterSounds = 0;
        v.Delay(1, 1);
        v.Effect(effect);
        EXPECT_EQ(v.m_EffectLength, int(text.size()));
        int firstHidden = -1;
        std::vector<std::string> shown;
        for (int frame = 0; frame < 100 && !v.m_EffectFinished; ++frame) {
            v.DisplayText();
            shown.push_back(Shown(v));
            if (!v.m_EffectFinished && v.m_IndexArray && effect == Variable::SequentialDecoding) {
                EXPECT_GE(v.m_IndexArray[0] == -1 ? 1000 : v.m_IndexArray[0], firstHidden) << "reading order";
                firstHidden = v.m_IndexArray[0] == -1 ? 1000 : v.m_IndexArray[0];
            }
        }
        ASSERT_TRUE(v.m_EffectFinished) << effect;
        EXPECT_EQ(shown.back(), text) << effect;
        for (std::size_t f = 0; f + 1 < shown.size(); ++f) {
            ASSERT_EQ(shown[f].size(), text.size()) << effect << " " << f;
            for (std::size_t i = 0; i < text.size(); ++i) EXPECT_TRUE(SameClass(shown[f][i], text[i])) << shown[f];
        }
        EXPECT_EQ(letterSounds, effect == Variable::RandomDecoding ? 1 : 6 + 1) << effect;
    }
}

TEST_F(TextEffectsTest, DecodingTakesALongRunOfSpacesOutInOneStep) {
    // A line of a million spaces (a clipped line takes part whole), then two
    // letters: a step takes out every space drawn before the letter it reveals,
    // and the text is whole after a few frames rather than a million.
    const std::string text = std::string(1'000'000, ' ') + "ok";
    for (Variable::EffectType effect : {Variable::RandomDecoding, Variable::SequentialDecoding}) {
        Variable v;
        Setup(v, text.c_str(), Variable::HorizontalScrolling);
        v.Delay(1, 1);
        v.Effect(effect);
        ASSERT_EQ(v.m_EffectLength, int(text.size()));
        const std::vector<std::string> shown = Run(v, 20);
        ASSERT_TRUE(v.m_EffectFinished) << effect;
        EXPECT_EQ(shown.back(), text) << effect;
    }
}

TEST_F(TextEffectsTest, EffectRequestsAndRestarts) {
    Variable v;
    Setup(v, "hello", Variable::RespectingWords);
    v.Delay(1, 0);
    v.Effect(Variable::CharacterByCharacterEffect);
    v.DisplayText();
    v.DisplayText();
    EXPECT_EQ(Shown(v), "he");

    v.Effect(Variable::NoEffect);
    EXPECT_FALSE(v.m_EffectFinished);
    EXPECT_EQ(v.m_EffectType, Variable::CharacterByCharacterEffect);
    v.Effect(static_cast<Variable::EffectType>(9));
    EXPECT_EQ(LastError(),
              "void Variable::Effect(EffectType) | The effect type must be selected from the following list: "
              "CharacterByCharacterEffect, LineByLineEffect, ASCIIEffect, RandomDecoding, SequentialDecoding.");
    EXPECT_EQ(v.m_EffectType, Variable::CharacterByCharacterEffect);

    // A new value starts the running effect again on the new text.
    v = "world";
    EXPECT_EQ(v.m_ShownCount, 0);
    EXPECT_STREQ(v.m_KeptText, "world");
    v.DisplayText();
    EXPECT_EQ(Shown(v), "w");

    // Another effect asked for while one runs starts on the whole text, even
    // before the first one showed anything.
    v.Delay(5, 1);
    v.Effect(Variable::CharacterByCharacterEffect);
    EXPECT_EQ(v.m_DisplayedText, nullptr);
    v.Effect(Variable::SequentialDecoding);
    ASSERT_NE(v.m_IndexArray, nullptr);
    EXPECT_STREQ(v.m_KeptText, "world");
    Variable copy(v);  // mid-effect copies take their own index array
    EXPECT_EQ(Run(v, 500).back(), "world");
    EXPECT_EQ(Run(copy, 500).back(), "world");
}

TEST_F(TextEffectsTest, IndexArrayOperations) {
    Variable v;
    Setup(v, "abc", Variable::RespectingWords);
    v.Delay(1, 1);
    v.Effect(Variable::RandomDecoding);
    ASSERT_EQ(v.m_EffectLength, 3);
    EXPECT_TRUE(v.IndexInIndexArray(1));
    EXPECT_FALSE(v.IndexInIndexArray(3));
    v.UpdateIndexArray(1);
    EXPECT_EQ(std::vector<int>(v.m_IndexArray, v.m_IndexArray + 4), (std::vector<int>{0, 2, -1, -1}));
    EXPECT_FALSE(v.IndexInIndexArray(1));
    for (int outside : {-1, 3, 1000}) v.UpdateIndexArray(outside);  // ignored
    EXPECT_EQ(std::vector<int>(v.m_IndexArray, v.m_IndexArray + 4), (std::vector<int>{0, 2, -1, -1}));
    for (int i = 0; i < 20; ++i) {
        const int k = v.RandIndexArray();
        EXPECT_TRUE(k == 0 || k == 1) << k;
    }
    v.UpdateIndexArray(0);
    v.UpdateIndexArray(0);
    EXPECT_FALSE(v.m_AllRevealed);
    EXPECT_EQ(v.RandIndexArray(), -1);
    EXPECT_TRUE(v.m_AllRevealed);
}

TEST_F(TextEffectsTest, RandomCharactersAndLineCounts) {
    std::set<char> lower, upper, digits;
    for (int i = 0; i < 2000; ++i) {
        lower.insert(Variable::ASCIIRandLowerChar());
        upper.insert(Variable::ASCIIRandUpperChar());
        digits.insert(Variable::ASCIIRandNumber());
    }
    EXPECT_EQ(lower.size(), 26u);
    EXPECT_EQ(*lower.begin(), 'a');
    EXPECT_EQ(*lower.rbegin(), 'z');
    EXPECT_EQ(upper.size(), 26u);
    EXPECT_EQ(*upper.begin(), 'A');
    EXPECT_EQ(*upper.rbegin(), 'Z');
    EXPECT_EQ(digits.size(), 10u);
    EXPECT_EQ(*digits.begin(), '0');
    EXPECT_EQ(*digits.rbegin(), '9');

    struct Case {
        const char* text;
        int lines;
    } cases[] = {{nullptr, 0}, {"", 1}, {"a", 1}, {"a\n\nb", 3}, {"a\nb\n", 3}};
    for (const Case& c : cases) EXPECT_EQ(Variable::LinesCount(c.text), c.lines) << (c.text ? c.text : "null");
}

TEST_F(TextEffectsTest, AMissingLetterSoundIsReportedAndSilent) {
    Variable v;
    v.LetterSound("click");
    EXPECT_EQ(v.m_LetterSound, Click);
    v.Play();
    EXPECT_EQ(letterSounds, 1);
    v.LetterSound("nothing");
    EXPECT_EQ(LastError(), "void Variable::LetterSound(const char *) | The sound file nothing does not exist.");
    EXPECT_EQ(v.m_LetterSound, nullptr);
    v.LetterSound(nullptr);
    EXPECT_EQ(v.m_LetterSound, nullptr);
    v.Play();
    EXPECT_EQ(letterSounds, 1);
}

}  // namespace
