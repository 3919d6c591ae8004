#include "foundation/FatalExit.h"

#include <cstdarg>
#include <cstdio>
#include <mutex>
#include "foundation/Console.h"
#include "platform/MessageBox.h"
#include "platform/Process.h"

FatalExitLinks fatalExitLinks;

namespace {

constexpr int TextSize = 512;

void ShowExitBox(const char* text) {
    HWND owner = fatalExitLinks.gameWindow ? fatalExitLinks.gameWindow() : nullptr;
    qel::ShowMessageBox(owner, text, "Exit error.", qel::MessageBoxIcon::Error);
}

void AppendToConsole(const char* text) {
    std::lock_guard<std::recursive_mutex> lock(Console::OutputLock());
    if (!pConsole) return;
    *pConsole += text;
    pConsole->Save(Console::LogFileName);
}

}  // namespace

void ShutdownEngine() {
    if (fatalExitLinks.shutdownEngine) fatalExitLinks.shutdownEngine();
}

void FatalExit(const char* format, ...) {
    char text[TextSize];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);

    if (fatalExitLinks.prepareForMessageBox) fatalExitLinks.prepareForMessageBox();
    ShowExitBox(text);
    AppendToConsole(text);
    ShutdownEngine();
    // Other threads may still run: end at once, without static destructors.
    qel::EndProcess(FatalExitStatus);
}
