// A wide copy of a text in the system's ANSI code page (Windows-1252), for
// interfaces that take wide file names.
#pragma once
#include "QelExport.h"

class QEL_API UString {
public:
    UString(const char* s);
    UString(const UString& other);
    UString& operator=(const UString& other);
    ~UString();

    operator const wchar_t*() const { return text; }

private:
    wchar_t* text;
};
