// The engine's debug console: a Variable shown as a scrolling text box, to which
// every print is appended; each print is appended to the log "Qel.log" too.
#pragma once
#include <atomic>
#include <cstdint>
#include <mutex>
#include <string>
#include "QelExport.h"
#include "foundation/Types.h"
#include "foundation/Variable.h"

// What the console reads from the runtime; set at start-up, unset means
// "frame 0" and "no cursor to show".
struct ConsoleLinks {
    const std::uint32_t* frameCounter = nullptr;
    void (*showCursor)(bool show) = nullptr;  // the game's mouse cursor
};

class QEL_API Console : public Variable {
public:
    static constexpr const char* LogFileName = "Qel.log";

    // Empties the log of an earlier run.
    Console();
    // Writes the log a last time.
    ~Console() override;

    // Appends the formatted text (cut at 511 characters), preceded by a frame
    // header for the first print of each frame after frame 0, to the text and
    // to the log.
    void Print(const char* format, ...) __attribute__((format(printf, 2, 3)));
    // Draws the text when visible; scrolls to the end after a print.
    void Display();
    // Shows or hides the console and the game's mouse cursor.
    void Show(bool on);
    bool Show() const { return Visible(); }
    void Color(COLORREF colour);

    // Held while the console text or the report histories change, so network
    // threads may print too. The log file is written outside it.
    static std::recursive_mutex& OutputLock();

    static ConsoleLinks links;

private:
    void ScrollToEnd();
    void AppendToLog();
    void WriteUnwritten();

    // Printed but not yet in the log (under OutputLock).
    std::string unwritten;
    static std::int32_t lastPrintedFrame;
    static bool scrollPending;
    static std::atomic<bool> logFailing;  // the last write failed (said once until one succeeds)
};

// The one console, made at start-up.
extern QEL_API Console* pConsole;
