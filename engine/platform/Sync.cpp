#include "platform/Sync.h"

#include <chrono>
#include <thread>

#include "platform/QuitSignalsInternal.h"

namespace qel {

void AutoResetEvent::Set() {
    {
        std::lock_guard lock(mutex_);
        signalled_ = true;
    }
    signal_.notify_one();
}

void AutoResetEvent::Wait() {
    std::unique_lock lock(mutex_);
    signal_.wait(lock, [this] { return signalled_; });
    signalled_ = false;
}

bool AutoResetEvent::WaitFor(std::uint32_t ms) {
    std::unique_lock lock(mutex_);
    if (!signal_.wait_for(lock, std::chrono::milliseconds(ms), [this] { return signalled_; })) return false;
    signalled_ = false;
    return true;
}

WorkerThread::~WorkerThread() { Join(); }

bool WorkerThread::Start(std::function<void()> work) {
    if (thread_.joinable()) return false;
    finished_ = false;
    thread_ = std::thread([this, work = std::move(work)] {
        work();
        finished_ = true;
    });
    return true;
}

bool WorkerThread::IsFinished() const { return finished_.load(); }

bool WorkerThread::CloseIfFinished() {
    if (!finished_.load()) return false;
    if (thread_.joinable()) thread_.join();
    return true;
}

void WorkerThread::Join() {
    if (!thread_.joinable()) return;
    while (!finished_.load()) {
        // A thread held by SDL's message box waits for a person, who may never
        // come: it is left to the process's end, and never runs on.
        if (LeaveSystemBoxToProcessEnd(thread_.get_id())) {
            thread_.detach();
            return;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    thread_.join();
}

}  // namespace qel
