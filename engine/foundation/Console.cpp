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
std::atomic<bool> Console::logFailing{false};

namespace {
constexpr int PrintSize = 512;
// What a log that keeps failing may hold back; beyond it the oldest goes.
constexpr std::size_t MaxUnwritten = std::size_t(1) << 20;

// Serialises the writers of the log file, apart from the console's text.
std::mutex& LogFileLock() {
    static std::mutex lock;
    return lock;
}

// Adds the text to the end of the file (mode "ab" or, to start it empty,
// "wb"); false, with errno telling why, when any part did not reach it.
bool WriteText(const char* path, const char* mode, const std::string& text) {
    std::FILE* f = std::fopen(path, mode);
    if (!f) return false;
    const bool written = std::fwrite(text.data(), 1, text.size(), f) == text.size();
    const int writeError = errno;
    if (std::fclose(f) != 0) return false;
    if (!written) errno = writeError;
    return written;
}

void ReportLogFailure(int error) {
    std::fprintf(stderr, "%s cannot be written (%s); it is tried again at the next message.\n", Console::LogFileName,
                 error != 0 ? std::strerror(error) : "unknown error");
}
}  // namespace

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
    {
        // A new run starts an empty log.
        std::lock_guard<std::mutex> file(LogFileLock());
        errno = 0;
        logFailing = !WriteText(LogFileName, "wb", "");
        if (logFailing) ReportLogFailure(errno);
    }
    VScrollTriggered(false);
}

Console::~Console() { AppendToLog(); }

void Console::Print(const char* format, ...) {
    char text[PrintSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    {
        std::lock_guard<std::recursive_mutex> lock(OutputLock());
        std::int32_t frame = links.frameCounter ? static_cast<std::int32_t>(*links.frameCounter) : 0;
        if (frame != lastPrintedFrame) {
            char header[64];
            std::snprintf(header, sizeof header, "Output after loop %d :\n\n", frame);
            Variable::operator+=(header);
            unwritten += header;
            lastPrintedFrame = frame;
        }
        Variable::operator+=(text);
        unwritten += text;
        ScrollToEnd();
        scrollPending = true;
    }
    AppendToLog();
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
void Console::ScrollToEnd() { m_VScrollOffset = std::max(0, m_NumberOfLines - m_LinesPerFrame); }

// What was printed since the last write goes to the end of the log, outside
// the console's lock, so that the frame step's display never waits for the
// disk. A failed write keeps its text for the next message (at most the
// newest megabyte) and is said once until a write succeeds again.
//
// Printing may already hold the console's lock (a user error reports under
// it), so the log's lock is only tried: a thread that finds another writing
// leaves its text to that writer, which looks again once it lets go.
void Console::AppendToLog() {
    for (;;) {
        {
            std::unique_lock<std::mutex> file(LogFileLock(), std::try_to_lock);
            if (!file.owns_lock()) return;
            WriteUnwritten();
        }
        std::lock_guard<std::recursive_mutex> lock(OutputLock());
        if (unwritten.empty() || logFailing) return;
    }
}

void Console::WriteUnwritten() {
    std::string text;
    {
        std::lock_guard<std::recursive_mutex> lock(OutputLock());
        text.swap(unwritten);
    }
    if (text.empty()) return;
    errno = 0;
    if (WriteText(LogFileName, "ab", text)) {
        logFailing = false;
        return;
    }
    if (!logFailing) ReportLogFailure(errno);
    logFailing = true;
    std::lock_guard<std::recursive_mutex> lock(OutputLock());
    unwritten.insert(0, text);
    if (unwritten.size() > MaxUnwritten) unwritten.erase(0, unwritten.size() - MaxUnwritten);
}
