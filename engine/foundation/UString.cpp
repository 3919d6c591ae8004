#include "foundation/UString.h"

#include <cstdint>
#include <cstring>
#include <cwchar>
#include "platform/Text1252.h"

namespace {

wchar_t* WideCopy(const wchar_t* s) {
    std::size_t n = std::wcslen(s);
    wchar_t* copy = new wchar_t[n + 1];
    std::memcpy(copy, s, (n + 1) * sizeof(wchar_t));
    return copy;
}

}  // namespace

UString::UString(const char* s) {
    std::size_t n = s ? std::strlen(s) : 0;
    text = new wchar_t[n + 1];
    for (std::size_t i = 0; i < n; ++i)
        text[i] = static_cast<wchar_t>(qel::Cp1252ToUnicode(static_cast<std::uint8_t>(s[i])));
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
