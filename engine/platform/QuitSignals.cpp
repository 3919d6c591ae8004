#include "platform/QuitSignalsInternal.h"

#include <SDL.h>
#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <atomic>
#include <mutex>

#include "platform/WindowInternal.h"

namespace qel {

namespace {

// What the handler touches: lock-free atomics and a sig_atomic_t only.
std::atomic<int> quitSignal{0};  // the signal that asked to end, 0 none
std::atomic<bool> quitUnread{false};
std::atomic<bool> interfaceInSystemBox{false};
std::atomic<pid_t> boxParent{0};
static_assert(std::atomic<int>::is_always_lock_free && std::atomic<bool>::is_always_lock_free &&
              std::atomic<pid_t>::is_always_lock_free);
// Set in the copy of the process that shows SDL's box: it has no game to end.
volatile sig_atomic_t inBoxCopy = 0;

// The thread inside SDL's box, and whether a thread that would wait for it
// left it to the process's end.
std::mutex boxStateLock;
std::thread::id boxThread;
bool boxLeftToProcessEnd = false;
thread_local bool showingSystemBox = false;

// The shell's status of a process that a signal ended.
constexpr int SignalStatusBase = 128;

void OnQuitSignal(int signal) {
    if (inBoxCopy) _exit(SignalStatusBase + signal);
    quitSignal.store(signal);
    quitUnread.store(true);
    if (interfaceInSystemBox.load()) _exit(SignalStatusBase + signal);
}

// Runs in every forked child; only the box's own copy acts.
void InBoxCopy() {
    if (!showingSystemBox) return;
    inBoxCopy = 1;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    // The parent went before the line above took effect.
    if (::getppid() != boxParent.load()) _exit(1);
}

void InstallWhereDefault(int signal) {
    struct sigaction current {};
    if (::sigaction(signal, nullptr, &current) != 0) return;
    if ((current.sa_flags & SA_SIGINFO) != 0 || current.sa_handler != SIG_DFL) return;
    struct sigaction ours {};
    ours.sa_handler = OnQuitSignal;
    sigemptyset(&ours.sa_mask);
    // A save being written when the signal comes goes on undisturbed.
    ours.sa_flags = SA_RESTART;
    ::sigaction(signal, &ours, nullptr);
}

}  // namespace

void InstallQuitSignals() {
    static std::once_flag once;
    std::call_once(once, [] {
        SDL_SetHintWithPriority(SDL_HINT_NO_SIGNAL_HANDLERS, "1", SDL_HINT_OVERRIDE);
        InstallWhereDefault(SIGTERM);
        InstallWhereDefault(SIGINT);
        ::pthread_atfork(nullptr, nullptr, InBoxCopy);
    });
}

bool QuitSignalled() { return quitSignal.load() != 0; }

bool TakeQuitRequest() { return quitUnread.exchange(false); }

bool EnterSystemBox() {
    {
        std::lock_guard hold(boxStateLock);
        boxThread = std::this_thread::get_id();
        boxLeftToProcessEnd = false;
    }
    boxParent.store(::getpid());
    showingSystemBox = true;
    if (IsUiThread()) interfaceInSystemBox.store(true);
    // A signal that came before the line above finds nobody to end: it is
    // seen here instead.
    if (!QuitSignalled()) return true;
    LeaveSystemBox();
    return false;
}

bool LeaveSystemBox() {
    if (IsUiThread()) interfaceInSystemBox.store(false);
    showingSystemBox = false;
    std::lock_guard hold(boxStateLock);
    boxThread = std::thread::id();
    return !boxLeftToProcessEnd;
}

bool LeaveSystemBoxToProcessEnd(std::thread::id thread) {
    std::lock_guard hold(boxStateLock);
    if (thread == std::thread::id() || thread != boxThread) return false;
    boxLeftToProcessEnd = true;
    return true;
}

void ForgetQuitSignalForTests() {
    quitSignal.store(0);
    quitUnread.store(false);
}

}  // namespace qel
