#include "foundation/String.h"

#include <cstdint>
#include <cstring>
#include "foundation/File.h"

namespace {

char* CopyOf(const char* s, std::size_t n) {
    char* buffer = new char[n + 1];
    std::memcpy(buffer, s, n);
    buffer[n] = '\0';
    return buffer;
}

}  // namespace

String::String(const char* s) : text(s ? CopyOf(s, std::strlen(s)) : CopyOf("", 0)) {}

String::String(const String& other) : text(CopyOf(other.text, std::strlen(other.text))) {}

String::~String() { delete[] text; }

String& String::operator=(const String& other) {
    if (this == &other) return *this;
    std::size_t n = std::strlen(other.text);
    if (n > std::strlen(text)) {
        char* buffer = CopyOf(other.text, n);
        delete[] text;
        text = buffer;
    } else {
        std::memcpy(text, other.text, n + 1);
    }
    return *this;
}

String& String::operator+=(const String& other) {
    if (other.empty()) return *this;
    std::size_t mine = std::strlen(text);
    std::size_t theirs = std::strlen(other.text);
    char* buffer = new char[mine + theirs + 1];
    std::memcpy(buffer, text, mine);
    std::memcpy(buffer + mine, other.text, theirs + 1);
    delete[] text;
    text = buffer;
    return *this;
}

int String::length() const { return static_cast<int>(std::strlen(text)); }

void String::assign(const char* s, int n) {
    if (s == nullptr) {
        erase();
        return;
    }
    std::size_t available = std::strlen(s);
    std::size_t m = n < 0 ? 0 : (static_cast<std::size_t>(n) < available ? static_cast<std::size_t>(n) : available);
    if (available > std::strlen(text)) {
        // s may lie inside the old buffer, so it is copied out before that goes.
        char* buffer = CopyOf(s, m);
        delete[] text;
        text = buffer;
    } else {
        std::memmove(text, s, m);
        text[m] = '\0';
    }
}

void String::Save(File& file) const {
    int n = length();
    file.Write(n);
    if (n > 0) file.Write(text, n);
}

void String::Load(File& file) {
    int n = 0;
    file.Read(n);
    if (n == 0) return;
    if (n < 0 || n > file.BytesLeft()) {
        file.SetError();
        return;
    }
    std::size_t wanted = static_cast<std::size_t>(n);
    if (std::strlen(text) < wanted) {
        delete[] text;
        text = new char[wanted + 1];
    }
    file.Read(text, n);
    text[wanted] = '\0';
}

String operator+(const String& a, const String& b) {
    String sum(a);
    sum += b;
    return sum;
}

bool operator==(const String& a, const String& b) { return std::strcmp(a, b) == 0; }

bool operator!=(const String& a, const String& b) { return !(a == b); }

bool operator==(const String& a, const char* b) { return b != nullptr && std::strcmp(a, b) == 0; }

bool operator==(const char* a, const String& b) { return b == a; }

bool operator!=(const String& a, const char* b) { return !(a == b); }

bool operator!=(const char* a, const String& b) { return !(b == a); }
