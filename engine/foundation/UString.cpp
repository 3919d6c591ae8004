#include "foundation/UString.h"

#include <cstring>

namespace {

// Windows-1252 bytes 0x80..0x9F; the rest of the code page equals Latin-1.
// Bytes the code page leaves undefined map to the same-numbered C1 control.
constexpr wchar_t upperControls[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

wchar_t Widen(unsigned char c) {
    if (c >= 0x80 && c < 0xA0) return upperControls[c - 0x80];
    return static_cast<wchar_t>(c);
}

wchar_t* WideCopy(const wchar_t* s) {
    std::size_t n = 0;
    while (s[n] != 0) ++n;
    wchar_t* copy = new wchar_t[n + 1];
    std::memcpy(copy, s, (n + 1) * sizeof(wchar_t));
    return copy;
}

}  // namespace

UString::UString(const char* s) {
    std::size_t n = s ? std::strlen(s) : 0;
    text = new wchar_t[n + 1];
    for (std::size_t i = 0; i < n; ++i) text[i] = Widen(static_cast<unsigned char>(s[i]));
    text[n] = 0;
}

UString::UString(const UString& other) : text(WideCopy(other.text)) {}

UString& UString::operator=(const UString& other) {
    if (this != &other) {
        wchar_t* copy = WideCopy(other.text);
        delete[] text;
        text = copy;
    }
    return *this;
}

UString::~UString() { delete[] text; }
