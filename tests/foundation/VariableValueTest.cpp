#include <gtest/gtest.h>

#include <climits>
#include <cstring>
#include <functional>
#include <string>
#include <vector>
#include "foundation/CreateInternal.h"
#include "foundation/Variable.h"

namespace {

std::string Shown(const Variable& v) { return v.m_DisplayedText ? v.m_DisplayedText : "<none>"; }

int someObject;
void* const aPointer = &someObject;

struct Comparison {
    const char* name;
    std::function<bool(const Variable&)> test;
    bool number, text, pointer, null;  // 2.7, "abc", aPointer, null pointer
};

TEST(VariableValue, ComparisonsAcrossKinds) {
    const Comparison table[] = {
        {"== 2", [](const Variable& v) { return v == 2; }, true, false, false, false},
        {"< 3", [](const Variable& v) { return v < 3; }, true, false, false, false},
        {"> 2", [](const Variable& v) { return v > 2; }, false, true, true, true},
        {">= 5", [](const Variable& v) { return v >= 5; }, false, true, true, true},
        {"<= 2u", [](const Variable& v) { return v <= 2u; }, true, false, false, false},
        {"!= 2", [](const Variable& v) { return v != 2; }, false, true, true, true},
        {"== char 2", [](const Variable& v) { return v == char(2); }, true, false, false, false},
        {"< uchar 3", [](const Variable& v) { return v < static_cast<unsigned char>(3); }, true, false, false, false},
        {"== 2.7f", [](const Variable& v) { return v == 2.7f; }, false, false, false, false},
        {"< 2.75f", [](const Variable& v) { return v < 2.75f; }, true, false, false, false},
        {"== abc", [](const Variable& v) { return v == "abc"; }, false, true, false, false},
        {"< abd", [](const Variable& v) { return v < "abd"; }, false, true, false, false},
        {"> ab", [](const Variable& v) { return v > "ab"; }, true, true, true, true},
        {"== pointer", [](const Variable& v) { return v == aPointer; }, false, false, true, false},
        {"!= pointer", [](const Variable& v) { return v != aPointer; }, true, true, false, true},
        {"== null", [](const Variable& v) { return v == static_cast<void*>(nullptr); }, false, false, false, true},
        {"2 == v", [](const Variable& v) { return 2 == v; }, true, false, false, false},
        {"3 > v", [](const Variable& v) { return 3 > v; }, true, false, false, false},
        {"2 < v", [](const Variable& v) { return 2 < v; }, false, true, true, true},
        {"abd > v", [](const Variable& v) { return "abd" > v; }, false, true, false, false},
        {"abc >= v", [](const Variable& v) { return "abc" >= v; }, false, true, false, false},
        {"!v", [](const Variable& v) { return !v; }, false, false, false, true},
        {"bool", [](const Variable& v) { return static_cast<bool>(v); }, true, false, false, false},
    };
    const Variable values[] = {Variable(2.7), Variable("abc"), Variable(aPointer),
                               Variable(static_cast<void*>(nullptr))};
    for (const Comparison& c : table) {
        EXPECT_EQ(c.test(values[0]), c.number) << c.name << " on 2.7";
        EXPECT_EQ(c.test(values[1]), c.text) << c.name << " on abc";
        EXPECT_EQ(c.test(values[2]), c.pointer) << c.name << " on a pointer";
        EXPECT_EQ(c.test(values[3]), c.null) << c.name << " on null";
    }
}

TEST(VariableValue, VariablesCompareOnlyWithTheirOwnKind) {
    EXPECT_TRUE(Variable(2.5) == Variable(2.5));
    EXPECT_TRUE(Variable(2.5) < Variable(3.0));
    EXPECT_TRUE(Variable("abc") < Variable("abd"));
    EXPECT_TRUE(Variable("\xE9") > Variable("z"));  // bytes compare unsigned
    EXPECT_FALSE(Variable(aPointer) < Variable(aPointer));
    EXPECT_TRUE(Variable(aPointer) <= Variable(aPointer));
    EXPECT_FALSE(Variable(5) == Variable("5"));
    EXPECT_TRUE(Variable(5) > Variable("5"));
    EXPECT_TRUE(Variable("5") >= Variable(5));
    EXPECT_TRUE(Variable(-1.0) == -1);
    EXPECT_TRUE(Variable(-1.0) < 0);
    EXPECT_FALSE(Variable(-1.0) < 0u);  // the unsigned form wraps
}

struct Arithmetic {
    const char* name;
    Variable start;
    std::function<void(Variable&)> op;
    double number;      // expected number (tag 0), ignored otherwise
    const char* shown;  // expected displayed text
};

TEST(VariableValue, ArithmeticOnNumbersAndOtherKinds) {
    Variable two(2.0), text("xy");
    const Arithmetic table[] = {
        {"+= 1.5", Variable(1.0), [](Variable& v) { v += 1.5; }, 2.5, "2"},  // halves round to even
        {"-= 4", Variable(1.0), [](Variable& v) { v -= 4; }, -3, "-3"},
        {"*= 2.5f", Variable(3.0), [](Variable& v) { v *= 2.5f; }, 7.5, "8"},
        {"/= 4", Variable(10.0), [](Variable& v) { v /= 4; }, 2.5, "2"},
        {"/= 0", Variable(7.0), [](Variable& v) { v /= 0; }, 7, "7"},
        {"%= 4", Variable(11.9), [](Variable& v) { v %= 4; }, 3, "3"},
        {"%= -4", Variable(-11.0), [](Variable& v) { v %= -4.7; }, -3, "-3"},
        {"%= 0.5 (0)", Variable(11.0), [](Variable& v) { v %= 0.5; }, 11, "11"},
        {"%= -1 of INT_MIN", Variable(double(INT_MIN)), [](Variable& v) { v %= -1; }, INT_MIN, "-2147483648"},
        {"+= Variable", Variable(1.0), [&](Variable& v) { v += two; }, 3, "3"},
        {"-= Variable", Variable(1.0), [&](Variable& v) { v -= two; }, -1, "-1"},
        {"*= Variable", Variable(1.5), [&](Variable& v) { v *= two; }, 3, "3"},
        {"/= Variable", Variable(1.0), [&](Variable& v) { v /= two; }, 0.5, "0"},
        {"%= Variable", Variable(5.0), [&](Variable& v) { v %= two; }, 1, "1"},
        {"+= text on a number", Variable(1.0), [](Variable& v) { v += "z"; }, 1, "1"},
        {"+= a text Variable", Variable(1.0), [&](Variable& v) { v += text; }, 1, "1"},
        {"text += text", Variable("ab"), [](Variable& v) { v += "cd"; }, 0, "abcd"},
        {"text += 5", Variable("abc"), [](Variable& v) { v += 5; }, 0, "abc"},
        {"text += text Variable", Variable("ab"), [&](Variable& v) { v += text; }, 0, "abxy"},
        {"text += itself", Variable("ab"), [](Variable& v) { v += v; }, 0, "abab"},
        {"text += null", Variable("ab"), [](Variable& v) { v += static_cast<const char*>(nullptr); }, 0, "ab"},
        {"text -= text", Variable("ab"), [&](Variable& v) { v -= text; }, 0, "ab"},
        {"pointer += 1 shows the pointer", Variable(static_cast<void*>(nullptr)), [](Variable& v) { v += 1; }, 0,
         nullptr},
    };
    for (const Arithmetic& c : table) {
        Variable v(c.start);
        c.op(v);
        if (v.GetTag() == Variable::Number) {
            EXPECT_EQ(static_cast<double>(v), c.number) << c.name;
        }
        if (c.shown) {
            EXPECT_EQ(Shown(v), c.shown) << c.name;
        } else {
            EXPECT_NE(v.m_DisplayedText, nullptr) << c.name;
        }
        EXPECT_EQ(v.m_TextLength, v.m_DisplayedText ? std::strlen(v.m_DisplayedText) : 0u) << c.name;
    }
}

TEST(VariableValue, OperationsWithMismatchedVariablesChangeNothing) {
    Variable v(1.0);
    v.m_DisplayedText[0] = '9';  // any rebuild would undo this
    v += Variable("x");
    v -= Variable("x");
    v *= Variable(aPointer);
    v /= Variable("x");
    v %= Variable("x");
    EXPECT_EQ(Shown(v), "9");
    Variable t("ab");
    t.m_DisplayedText[0] = 'X';
    t %= Variable("cd");  // two texts: only the display text is rebuilt
    EXPECT_EQ(Shown(t), "ab");
}

TEST(VariableValue, IncrementsReturnNewOrOldNumber) {
    Variable v(1.0);
    EXPECT_EQ(static_cast<double>(++v), 2);
    EXPECT_EQ(static_cast<double>(v), 2);
    EXPECT_EQ(static_cast<double>(v++), 2);
    EXPECT_EQ(static_cast<double>(v), 3);
    EXPECT_EQ(static_cast<double>(--v), 2);
    EXPECT_EQ(static_cast<double>(v--), 2);
    EXPECT_EQ(static_cast<double>(v), 1);
    Variable t("a");
    Variable r = ++t;
    EXPECT_EQ(r.GetTag(), Variable::Pointer);
    EXPECT_EQ(static_cast<void*>(r), nullptr);
    EXPECT_TRUE(t == "a");
}

TEST(VariableValue, FreeOperators) {
    Variable v(10.0);
    v.Name("ten");
    Variable sum = v + 2;
    EXPECT_EQ(static_cast<double>(sum), 12);
    EXPECT_STREQ(sum.Name(), "ten");  // a copy of the Variable
    EXPECT_EQ(static_cast<double>(2.5 * v), 25);
    EXPECT_EQ(static_cast<double>(v - 4.0f), 6);
    EXPECT_EQ(static_cast<double>(4 - v), -6);
    EXPECT_EQ(static_cast<double>(v / 4), 2.5);
    EXPECT_EQ(static_cast<double>(25.0 / v), 2.5);
    EXPECT_EQ(static_cast<double>(v % 3), 1);
    EXPECT_EQ(static_cast<double>(25 % v), 5);
    EXPECT_EQ(static_cast<double>(v + Variable(1.0)), 11);
    EXPECT_EQ(static_cast<double>(v % Variable(4.0)), 2);
    // A zero divisor on the right, or a plain number over a zero or non-number.
    EXPECT_EQ(static_cast<double>(v / 0), 10);
    Variable zero(0.0);
    EXPECT_EQ((5.0 / zero).GetTag(), Variable::Pointer);
    EXPECT_EQ((5 % zero).GetTag(), Variable::Pointer);
    EXPECT_EQ((5 / Variable("x")).GetTag(), Variable::Pointer);
    EXPECT_EQ(static_cast<double>(5 - Variable("x")), 5);
}

TEST(VariableValue, ConversionsTruncateOrGiveZero) {
    Variable v(2.7), neg(-2.7), big(1e12), text("abc"), ptr(aPointer);
    EXPECT_EQ(static_cast<int>(v), 2);
    EXPECT_EQ(static_cast<int>(neg), -2);
    EXPECT_EQ(static_cast<long>(neg), -2);
    EXPECT_EQ(static_cast<unsigned int>(v), 2u);
    EXPECT_EQ(static_cast<char>(neg), -2);
    EXPECT_EQ(static_cast<unsigned char>(Variable(258.9)), 2);
    EXPECT_EQ(static_cast<float>(v), 2.7f);
    EXPECT_EQ(static_cast<int>(big), INT_MIN);  // out of range: defined, as the x86 gives it
    EXPECT_EQ(static_cast<int>(text), 0);
    EXPECT_EQ(static_cast<double>(ptr), 0);
    EXPECT_EQ(static_cast<const char*>(v), nullptr);
    EXPECT_STREQ(static_cast<const char*>(text), "abc");
    EXPECT_EQ(static_cast<void*>(ptr), aPointer);
    EXPECT_EQ(static_cast<Sprite*>(ptr), aPointer);
    EXPECT_EQ(static_cast<Map*>(ptr), aPointer);
    EXPECT_EQ(static_cast<Alarm*>(ptr), aPointer);
    EXPECT_EQ(static_cast<Variable*>(ptr), aPointer);
    EXPECT_EQ(static_cast<Sprite*>(text), nullptr);
}

TEST(VariableValue, DisplayTextFollowsTheValue) {
    Variable v(2.7);
    EXPECT_EQ(Shown(v), "3");  // "%.0f" rounds to nearest
    v.OnlyIntegerPart(false);
    EXPECT_EQ(Shown(v), "3");  // not rebuilt by the flag itself
    v += 0;
    EXPECT_EQ(Shown(v), "2.700000");
    v = 1e60;
    EXPECT_EQ(std::strlen(v.m_DisplayedText), 49u);  // cut to the value text's 49 characters
    v = aPointer;
    EXPECT_EQ(v.m_DisplayedText, nullptr);
    EXPECT_EQ(v.m_TextLength, 0u);
    v = "";
    EXPECT_EQ(v.m_DisplayedText, nullptr);
    EXPECT_STREQ(v.AsciiValue(), "");
    v = static_cast<const char*>(nullptr);
    EXPECT_TRUE(v == "");
    Variable u(7u);
    EXPECT_EQ(Shown(u), "7");
}

TEST(VariableValue, AssignmentCopiesValueAndDisplayTextOnly) {
    Variable a("hello");
    a.Name("a");
    a.m_Color = 1;
    Variable b(5.0);
    b.Name("b");
    b = a;
    EXPECT_TRUE(b == "hello");
    EXPECT_EQ(Shown(b), "hello");
    EXPECT_STREQ(b.Name(), "b");
    EXPECT_NE(b.m_Color, 1u);
    EXPECT_NE(static_cast<const char*>(a), static_cast<const char*>(b));  // its own copy
    b = b;
    EXPECT_TRUE(b == "hello");
}

TEST(VariableValue, ValueChangesResetScrollingAndRestartEffectsOfShownTexts) {
    static int restarts;
    restarts = 0;
    Variable::links.initEffects = [](Variable&) { ++restarts; };
    Variable v(1.0);
    v.m_HScrollOffset = v.m_VScrollOffset = 3;
    v += 1;  // not displayed: offsets stay
    EXPECT_EQ(v.m_VScrollOffset, 3);
    v.m_DisplayType = Variable::VerticalScrolling;
    v += 1;
    EXPECT_EQ(v.m_HScrollOffset, 0);
    EXPECT_EQ(v.m_VScrollOffset, 0);
    EXPECT_EQ(restarts, 0);
    v.m_EffectFinished = false;
    v.m_EffectStarted = true;
    v = 4;
    EXPECT_EQ(restarts, 1);
    EXPECT_FALSE(v.m_EffectStarted);
    Variable::links = VariableLinks();
}

// A local-data object that counts its copies.
class Local : public node {
public:
    node* Clone() const override { return new Local(); }
};

TEST(VariableValue, CopiesOwnTheirTextsAndLocalVariable) {
    Variable src("a text");
    src.Name("src");
    src.LocalVariable(new Local());
    src.m_LocalVariableIndex = 3;
    src.m_DisplayType = Variable::RespectingWords;
    src.m_Color = 0x123456;
    src.m_KeptText = new char[8];
    std::strcpy(src.m_KeptText, "a text");
    src.m_EffectLength = 4;
    src.m_IndexArray = new std::int32_t[5]{2, 3, -1, 0, 0};

    Variable copy(src);
    Variable* clone = static_cast<Variable*>(src.Clone());
    for (Variable* v : {&copy, clone}) {
        EXPECT_TRUE(*v == "a text");
        EXPECT_STREQ(v->Name(), "src");
        ASSERT_NE(v->LocalVariable(), nullptr);
        EXPECT_NE(v->LocalVariable(), src.LocalVariable());
        EXPECT_EQ(v->m_LocalVariableIndex, 3);
        EXPECT_EQ(v->m_Color, 0x123456u);
        EXPECT_NE(v->m_DisplayedText, src.m_DisplayedText);
        EXPECT_NE(v->m_KeptText, src.m_KeptText);
        ASSERT_NE(v->m_IndexArray, nullptr);
        EXPECT_EQ(v->m_IndexArray[0], 2);
        EXPECT_EQ(v->m_IndexArray[1], 3);
        EXPECT_EQ(v->m_IndexArray[2], -1);
        // Room for every entry up to the effect length, as the original has.
        EXPECT_EQ(v->m_IndexArray[4], -1);
    }
    delete clone;

    // Text settings are copied only from a displayed variable.
    Variable plain(1.0);
    plain.m_Color = 0x654321;
    EXPECT_NE(Variable(&plain).m_Color, 0x654321u);
    EXPECT_STREQ(Variable(static_cast<const Variable*>(&src)).Name(), "src");
}

TEST(VariableValue, RegisteredUnderItsName) {
    bool found = false;
    for (const CREATE& entry : ClassRegistry())
        if (entry.name == "Variable") {
            node* made = entry.create();
            EXPECT_STREQ(made->ClassName(), "Variable");
            delete made;
            found = true;
        }
    EXPECT_TRUE(found);
}

}  // namespace
