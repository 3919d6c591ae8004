#include "foundation/Console.h"

#include <algorithm>
#include <cerrno>
#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <string>

Console* pConsole = nullptr;
ConsoleLinks Console::links;
std::int32_t Console::lastPrintedFrame = 0;
bool Console::scrollPending = false;
bool Console::logGivenUp = false;

namespace {
constexpr int PrintSize = 512;

// Writes the text into a new file; false, with errno telling why, when any
// part of it did not reach the file (a full disk shows only at the close).
bool WriteText(const char* path, const char* text) {
    std::FILE* f = std::fopen(path, "wb");
    if (!f) return false;
    const std::size_t length = std::strlen(text);
    const bool written = std::fwrite(text, 1, length, f) == length;
    const int writeError = errno;
    if (std::fclose(f) != 0) return false;
    if (!written) errno = writeError;
    return written;
}
}  // namespace

std::recursive_mutex& Console::OutputLock() {
    static std::recursive_mutex lock;
    return lock;
}

Console::Console() {
    logGivenUp = false;
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

// The log always holds the whole text, the empty one included. The text goes
// to a temporary file that replaces the log only when written whole, so a full
// disk leaves the last good log rather than a cut one. Once the log could not
// be written it is not tried again: every later print would fail the same way.
void Console::WriteLog() {
    if (logGivenUp) return;
    const std::string temporary = std::string(LogFileName) + ".part";
    // A leftover of a killed run (or anything else by that name) goes first,
    // so the text is never written through a link to another file.
    std::remove(temporary.c_str());
    errno = 0;
    if (WriteText(temporary.c_str(), m_DisplayedText ? m_DisplayedText : "") &&
        std::rename(temporary.c_str(), LogFileName) == 0)
        return;
    const int error = errno;
    std::remove(temporary.c_str());
    logGivenUp = true;
    std::fprintf(stderr, "%s cannot be written (%s); the log is no longer kept.\n", LogFileName,
                 error != 0 ? std::strerror(error) : "unknown error");
}
