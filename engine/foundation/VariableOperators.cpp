// The value half of Variable: assignment, arithmetic, comparisons, conversions
// and the display text rebuilt from the value.
#include <climits>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include "foundation/Variable.h"

namespace {

// Truncation toward zero as the x86 converts: a number outside the int32 range
// (or NaN) gives the most negative int32, never undefined behaviour.
std::int32_t TruncInt32(double x) {
    if (!(x > -2147483649.0 && x < 2147483648.0)) return INT32_MIN;
    return static_cast<std::int32_t>(x);
}

// Negative numbers wrap as they do through a 64-bit conversion.
std::uint32_t TruncUint32(double x) {
    if (!(x > -9.2e18 && x < 9.2e18)) return 0;
    return static_cast<std::uint32_t>(static_cast<std::int64_t>(x));
}

char TruncChar(double x) { return static_cast<char>(TruncInt32(x)); }
unsigned char TruncUChar(double x) { return static_cast<unsigned char>(TruncInt32(x)); }

// int(a) % int(b); false when that has no defined result (b is 0, or the
// most negative int32 divided by -1), and the value then stays.
bool Modulo(double a, double b, double& result) {
    std::int32_t x = TruncInt32(a);
    std::int32_t y = TruncInt32(b);
    if (y == 0 || (x == INT32_MIN && y == -1)) return false;
    result = static_cast<double>(x % y);
    return true;
}

const char* OrEmpty(const char* s) { return s ? s : ""; }

}  // namespace

// --- value and display text ---

char* Variable::CopyText(const char* s) {
    std::size_t n = std::strlen(s);
    char* copy = new char[n + 1];
    std::memcpy(copy, s, n + 1);
    return copy;
}

void Variable::FreeTextValue() {
    if (m_Tag == Text) {
        delete[] m_Value.text;
        m_Value.text = nullptr;
    }
}

void Variable::SetText(const char* s) {
    char* copy = CopyText(OrEmpty(s));  // s may be this value's own text
    FreeTextValue();
    m_Tag = Text;
    m_Value.text = copy;
}

// Tag and value; a text is duplicated.
void Variable::CopyValue(const Variable& src) {
    if (src.m_Tag == Text) {
        SetText(src.m_Value.text);
    } else {
        FreeTextValue();
        m_Tag = src.m_Tag;
        m_Value = src.m_Value;
    }
}

void Variable::SetNumber(double x) {
    FreeTextValue();
    m_Tag = Number;
    m_Value.number = x;
}

const char* Variable::AsciiValue() {
    switch (m_Tag) {
        case Number:
            std::snprintf(m_ValueText, sizeof m_ValueText, m_OnlyIntegerPart ? "%.0f" : "%f", m_Value.number);
            return m_ValueText;
        case Pointer: std::snprintf(m_ValueText, sizeof m_ValueText, "%p", m_Value.pointer); return m_ValueText;
        case Text: return OrEmpty(m_Value.text);
        default: m_ValueText[0] = '\0'; return m_ValueText;
    }
}

void Variable::Rebuild() {
    const char* value = AsciiValue();
    delete[] m_DisplayedText;
    m_DisplayedText = nullptr;
    m_TextLength = static_cast<std::uint32_t>(std::strlen(value));
    if (m_TextLength != 0) m_DisplayedText = CopyText(value);
}

void Variable::DisplayReset() {
    if (m_DisplayType == NoDisplay) return;
    m_HScrollOffset = 0;
    m_VScrollOffset = 0;
    if (!m_EffectFinished) InitEffects();
}

void Variable::Changed() {
    Rebuild();
    DisplayReset();
}

// --- assignment ---

Variable& Variable::operator=(const Variable& o) {
    if (&o == this) return *this;
    CopyValue(o);
    delete[] m_DisplayedText;
    m_DisplayedText = o.m_DisplayedText ? CopyText(o.m_DisplayedText) : nullptr;
    m_TextLength = o.m_TextLength;
    DisplayReset();
    return *this;
}

Variable& Variable::operator=(double x) {
    SetNumber(x);
    Changed();
    m_EffectStarted = false;
    return *this;
}
Variable& Variable::operator=(float x) { return *this = static_cast<double>(x); }
Variable& Variable::operator=(const int x) { return *this = static_cast<double>(x); }
Variable& Variable::operator=(unsigned int x) { return *this = static_cast<double>(x); }

Variable& Variable::operator=(const char* s) {
    SetText(s);
    Changed();
    m_EffectStarted = false;
    return *this;
}

Variable& Variable::operator=(void* p) {
    FreeTextValue();
    m_Tag = Pointer;
    m_Value.pointer = p;
    delete[] m_DisplayedText;
    m_DisplayedText = nullptr;  // a pointer shows nothing
    m_TextLength = 0;
    DisplayReset();
    return *this;
}

// --- arithmetic ---

Variable& Variable::operator+=(double x) {
    if (m_Tag == Number) m_Value.number += x;
    Changed();
    return *this;
}
Variable& Variable::operator-=(double x) {
    if (m_Tag == Number) m_Value.number -= x;
    Changed();
    return *this;
}
Variable& Variable::operator*=(double x) {
    if (m_Tag == Number) m_Value.number *= x;
    Changed();
    return *this;
}
Variable& Variable::operator/=(double x) {
    if (m_Tag == Number && x != 0) m_Value.number /= x;
    Changed();
    return *this;
}
Variable& Variable::operator%=(double x) {
    if (m_Tag == Number) Modulo(m_Value.number, x, m_Value.number);
    Changed();
    return *this;
}

Variable& Variable::operator+=(int x) { return *this += static_cast<double>(x); }
Variable& Variable::operator+=(float x) { return *this += static_cast<double>(x); }
Variable& Variable::operator-=(int x) { return *this -= static_cast<double>(x); }
Variable& Variable::operator-=(float x) { return *this -= static_cast<double>(x); }
Variable& Variable::operator*=(int x) { return *this *= static_cast<double>(x); }
Variable& Variable::operator*=(float x) { return *this *= static_cast<double>(x); }
Variable& Variable::operator/=(int x) { return *this /= static_cast<double>(x); }
Variable& Variable::operator/=(float x) { return *this /= static_cast<double>(x); }
Variable& Variable::operator%=(int x) { return *this %= static_cast<double>(x); }
Variable& Variable::operator%=(float x) { return *this %= static_cast<double>(x); }

Variable& Variable::operator+=(const char* s) {
    if (m_Tag == Text) {
        const char* old = OrEmpty(m_Value.text);
        const char* tail = OrEmpty(s);
        std::size_t a = std::strlen(old), b = std::strlen(tail);
        char* joined = new char[a + b + 1];
        std::memcpy(joined, old, a);
        std::memcpy(joined + a, tail, b + 1);
        delete[] m_Value.text;
        m_Value.text = joined;
    }
    Changed();
    return *this;
}

Variable& Variable::operator+=(const Variable& o) {
    if (m_Tag == Number && o.m_Tag == Number) return *this += o.m_Value.number;
    if (m_Tag == Text && o.m_Tag == Text) return *this += o.m_Value.text;
    return *this;
}
Variable& Variable::operator-=(const Variable& o) {
    if (m_Tag == Number && o.m_Tag == Number) *this -= o.m_Value.number;
    return *this;
}
Variable& Variable::operator*=(const Variable& o) {
    if (m_Tag == Number && o.m_Tag == Number) *this *= o.m_Value.number;
    return *this;
}
Variable& Variable::operator/=(const Variable& o) {
    if (m_Tag == Number && o.m_Tag == Number) *this /= o.m_Value.number;
    return *this;
}
Variable& Variable::operator%=(const Variable& o) {
    if (m_Tag == Number && o.m_Tag == Number) {
        *this %= o.m_Value.number;
    } else if (m_Tag == o.m_Tag) {
        Rebuild();
    }
    return *this;
}

Variable Variable::operator++() {
    if (m_Tag != Number) {
        Changed();
        return Variable();
    }
    *this += 1.0;
    return Variable(m_Value.number);
}
Variable Variable::operator--() {
    if (m_Tag != Number) {
        Changed();
        return Variable();
    }
    *this -= 1.0;
    return Variable(m_Value.number);
}
Variable Variable::operator++(int) {
    if (m_Tag != Number) {
        Changed();
        return Variable();
    }
    double old = m_Value.number;
    *this += 1.0;
    return Variable(old);
}
Variable Variable::operator--(int) {
    if (m_Tag != Number) {
        Changed();
        return Variable();
    }
    double old = m_Value.number;
    *this -= 1.0;
    return Variable(old);
}

// --- free arithmetic ---

#define QEL_VARIABLE_FREE_ARITHMETIC(T)                                                                              \
    Variable operator+(const Variable& v, T x) {                                                                     \
        Variable r(v);                                                                                               \
        r += x;                                                                                                      \
        return r;                                                                                                    \
    }                                                                                                                \
    Variable operator+(T x, const Variable& v) {                                                                     \
        Variable r(v);                                                                                               \
        r += x;                                                                                                      \
        return r;                                                                                                    \
    }                                                                                                                \
    Variable operator*(const Variable& v, T x) {                                                                     \
        Variable r(v);                                                                                               \
        r *= x;                                                                                                      \
        return r;                                                                                                    \
    }                                                                                                                \
    Variable operator*(T x, const Variable& v) {                                                                     \
        Variable r(v);                                                                                               \
        r *= x;                                                                                                      \
        return r;                                                                                                    \
    }                                                                                                                \
    Variable operator-(const Variable& v, T x) {                                                                     \
        Variable r(v);                                                                                               \
        r -= x;                                                                                                      \
        return r;                                                                                                    \
    }                                                                                                                \
    Variable operator/(const Variable& v, T x) {                                                                     \
        Variable r(v);                                                                                               \
        r /= x;                                                                                                      \
        return r;                                                                                                    \
    }                                                                                                                \
    Variable operator%(const Variable& v, T x) {                                                                     \
        Variable r(v);                                                                                               \
        r %= x;                                                                                                      \
        return r;                                                                                                    \
    }                                                                                                                \
    Variable operator-(T x, const Variable& v) { return Variable(static_cast<double>(x) - static_cast<double>(v)); } \
    Variable operator/(T x, const Variable& v) {                                                                     \
        double d = static_cast<double>(v);                                                                           \
        if (d == 0) return Variable();                                                                               \
        return Variable(static_cast<double>(x) / d);                                                                 \
    }                                                                                                                \
    Variable operator%(T x, const Variable& v) {                                                                     \
        double result;                                                                                               \
        if (!Modulo(static_cast<double>(x), static_cast<double>(v), result)) return Variable();                      \
        return Variable(result);                                                                                     \
    }
QEL_VARIABLE_FREE_ARITHMETIC(double)
QEL_VARIABLE_FREE_ARITHMETIC(int)
QEL_VARIABLE_FREE_ARITHMETIC(float)
#undef QEL_VARIABLE_FREE_ARITHMETIC

Variable operator+(const Variable& a, const Variable& b) {
    Variable r(a);
    r += b;
    return r;
}
Variable operator-(const Variable& a, const Variable& b) {
    Variable r(a);
    r -= b;
    return r;
}
Variable operator*(const Variable& a, const Variable& b) {
    Variable r(a);
    r *= b;
    return r;
}
Variable operator/(const Variable& a, const Variable& b) {
    Variable r(a);
    r /= b;
    return r;
}
Variable operator%(const Variable& a, const Variable& b) {
    Variable r(a);
    r %= b;
    return r;
}

// --- comparisons ---

bool Variable::operator==(const Variable& o) const {
    if (m_Tag != o.m_Tag) return false;
    switch (m_Tag) {
        case Number: return m_Value.number == o.m_Value.number;
        case Pointer: return m_Value.pointer == o.m_Value.pointer;
        case Text: return std::strcmp(OrEmpty(m_Value.text), OrEmpty(o.m_Value.text)) == 0;
        default: return false;
    }
}
bool Variable::operator==(char x) const { return m_Tag == Number && TruncChar(m_Value.number) == x; }
bool Variable::operator==(unsigned char x) const { return m_Tag == Number && TruncUChar(m_Value.number) == x; }
bool Variable::operator==(int x) const { return m_Tag == Number && TruncInt32(m_Value.number) == x; }
bool Variable::operator==(unsigned int x) const { return m_Tag == Number && TruncUint32(m_Value.number) == x; }
bool Variable::operator==(float x) const { return m_Tag == Number && m_Value.number == static_cast<double>(x); }
bool Variable::operator==(const char* s) const {
    return m_Tag == Text && std::strcmp(OrEmpty(m_Value.text), OrEmpty(s)) == 0;
}
bool Variable::operator==(void* p) const { return m_Tag == Pointer && m_Value.pointer == p; }

// strcmp orders by unsigned bytes.
bool Variable::operator<(const Variable& o) const {
    if (m_Tag != o.m_Tag) return false;
    if (m_Tag == Number) return m_Value.number < o.m_Value.number;
    if (m_Tag == Text) return std::strcmp(OrEmpty(m_Value.text), OrEmpty(o.m_Value.text)) < 0;
    return false;
}
bool Variable::operator<(char x) const { return m_Tag == Number && TruncChar(m_Value.number) < x; }
bool Variable::operator<(unsigned char x) const { return m_Tag == Number && TruncUChar(m_Value.number) < x; }
bool Variable::operator<(int x) const { return m_Tag == Number && TruncInt32(m_Value.number) < x; }
bool Variable::operator<(unsigned int x) const { return m_Tag == Number && TruncUint32(m_Value.number) < x; }
bool Variable::operator<(float x) const { return m_Tag == Number && m_Value.number < static_cast<double>(x); }
bool Variable::operator<(const char* s) const {
    return m_Tag == Text && std::strcmp(OrEmpty(m_Value.text), OrEmpty(s)) < 0;
}

bool Variable::operator!() const {
    switch (m_Tag) {
        case Number: return m_Value.number == 0;
        case Pointer: return m_Value.pointer == nullptr;
        case Text: return m_Value.text == nullptr;
        default: return false;
    }
}

// --- conversions ---

Variable::operator double() const { return NumberOrZero(); }
Variable::operator float() const { return static_cast<float>(NumberOrZero()); }
Variable::operator long() const { return m_Tag == Number ? TruncInt32(m_Value.number) : 0; }
Variable::operator int() const { return m_Tag == Number ? TruncInt32(m_Value.number) : 0; }
Variable::operator unsigned int() const { return m_Tag == Number ? TruncUint32(m_Value.number) : 0; }
Variable::operator char() const { return m_Tag == Number ? TruncChar(m_Value.number) : 0; }
Variable::operator unsigned char() const { return m_Tag == Number ? TruncUChar(m_Value.number) : 0; }
Variable::operator bool() const { return m_Tag == Number && m_Value.number != 0; }
Variable::operator const char*() const { return m_Tag == Text ? m_Value.text : nullptr; }
Variable::operator void*() const { return m_Tag == Pointer ? m_Value.pointer : nullptr; }
Variable::operator Sprite*() const { return m_Tag == Pointer ? static_cast<Sprite*>(m_Value.pointer) : nullptr; }
Variable::operator Map*() const { return m_Tag == Pointer ? static_cast<Map*>(m_Value.pointer) : nullptr; }
Variable::operator Alarm*() const { return m_Tag == Pointer ? static_cast<Alarm*>(m_Value.pointer) : nullptr; }
Variable::operator Variable*() const { return m_Tag == Pointer ? static_cast<Variable*>(m_Value.pointer) : nullptr; }
