#include "foundation/Console.h"

#include <algorithm>
#include <cstdarg>
#include <cstdio>

Console* pConsole = nullptr;
ConsoleLinks Console::links;
std::int32_t Console::lastPrintedFrame = 0;
bool Console::scrollPending = false;

namespace {
constexpr int PrintSize = 512;
}

std::recursive_mutex& Console::OutputLock() {
    static std::recursive_mutex lock;
    return lock;
}

Console::Console() {
    Frame(QelRect{5, 5, 400, 200});
    Name("DebugText");
    Variable::operator=("");
    Variable::Color(0);
    Width(3);
    Height(8.0f);
    Weight(500);
    DisplayType(VerticalScrolling);
    Visible(true);
    WriteLog();
    VScrollTriggered(false);
}

Console::~Console() {
    std::lock_guard<std::recursive_mutex> lock(OutputLock());
    WriteLog();
}

void Console::Print(const char* format, ...) {
    char text[PrintSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);

    std::lock_guard<std::recursive_mutex> lock(OutputLock());
    std::int32_t frame = links.frameCounter ? static_cast<std::int32_t>(*links.frameCounter) : 0;
    if (frame != lastPrintedFrame) {
        char header[64];
        std::snprintf(header, sizeof header, "Output after loop %d :\n\n", frame);
        Variable::operator+=(header);
        lastPrintedFrame = frame;
    }
    Variable::operator+=(text);
    ScrollToEnd();
    WriteLog();
    scrollPending = true;
}

void Console::Display() {
    std::lock_guard<std::recursive_mutex> lock(OutputLock());
    if (Visible()) DisplayText();
    if (scrollPending) {
        ScrollToEnd();
        scrollPending = false;
    }
}

void Console::Show(bool on) {
    if (links.showCursor) links.showCursor(on);
    Visible(on);
}

void Console::Color(COLORREF colour) { Variable::Color(colour); }

// The last lines in view; a text shorter than the frame starts at its top.
void Console::ScrollToEnd() {
    m_VScrollOffset = std::max(0, m_NumberOfLines - m_LinesPerFrame);
}

// The log always holds the whole text, the empty one included.
void Console::WriteLog() {
    std::FILE* f = std::fopen(LogFileName, "w");
    if (!f) return;
    if (m_DisplayedText) std::fputs(m_DisplayedText, f);
    std::fclose(f);
}
