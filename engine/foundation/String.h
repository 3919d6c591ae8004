// The engine's own text: an owned, never-null, NUL-terminated char buffer,
// stored in files as an int32 length and the bytes.
#pragma once
#include "QelExport.h"

class File;

class QEL_API String {
public:
    String(const char* s = nullptr);
    String(const String& other);
    ~String();

    // Reuses the buffer unless the other text is longer.
    String& operator=(const String& other);
    String& operator+=(const String& other);

    int length() const;
    operator const char*() const { return text; }
    bool empty() const { return text[0] == '\0'; }
    // Empties the text; the buffer stays.
    void erase() { text[0] = '\0'; }
    // The first n characters of s (fewer when s is shorter); null empties.
    void assign(const char* s, int n);

    void Save(File& file) const;
    // A stored empty text keeps the current one; a length that the file
    // cannot hold marks the file in error and keeps the current text.
    void Load(File& file);

private:
    char* text;
};

QEL_API String operator+(const String& a, const String& b);
QEL_API bool operator==(const String& a, const String& b);
QEL_API bool operator!=(const String& a, const String& b);
// A null text is never equal to a String.
QEL_API bool operator==(const String& a, const char* b);
QEL_API bool operator==(const char* a, const String& b);
QEL_API bool operator!=(const String& a, const char* b);
QEL_API bool operator!=(const char* a, const String& b);
