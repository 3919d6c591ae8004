// A program for the platform's process tests: a window on the interface
// thread and a message box shown from a worker thread, as a game's worker
// might show one. Once its input ends (the test saw the box), it ends while
// the box is still up: "detached" returns from main at once, "joined" first
// joins the worker, as the game's shut-down joins its workers.
#include <unistd.h>

#include <cstring>
#include <thread>

#include "platform/MessageBox.h"
#include "platform/Sync.h"
#include "platform/Window.h"

int main(int argc, char** argv) {
    const bool joined = argc > 1 && std::strcmp(argv[1], "joined") == 0;
    HWND window = qel::Window::Create({"box helper", 320, 240, false, true});
    if (window == nullptr) return 2;
    const auto showBox = [] {
        qel::ShowMessageBox(nullptr, "Shown by a worker.", "Worker box", qel::MessageBoxIcon::Information);
    };
    qel::WorkerThread worker;
    if (joined)
        worker.Start(showBox);
    else
        std::thread(showBox).detach();
    char c = 0;
    while (::read(STDIN_FILENO, &c, 1) > 0) {
    }
    if (joined) worker.Join();
    qel::DestroyWindow(window);
    return 0;
}
