// Threads, auto-reset events and critical sections for the engine's worker
// threads, on the C++ standard library.
#pragma once
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>
#include <atomic>
#include "QelExport.h"

namespace qel {

// A critical section: one thread at a time, re-entrant for its owner.
using CriticalSection = std::recursive_mutex;

// Signalled by Set(); one Wait() consumes the signal (created unsignalled).
class QEL_API AutoResetEvent {
public:
    void Set();
    void Wait();
    // False when the time ran out first.
    bool WaitFor(std::uint32_t ms);

private:
    std::mutex mutex_;
    std::condition_variable signal_;
    bool signalled_ = false;
};

// A thread the owner can poll for completion and join once it has finished.
// Destroying it joins a thread still running, never leaving a joinable one.
// A thread that waits in the system's message box for a person is not waited
// for: it is left to the process's end and never runs on.
class QEL_API WorkerThread {
public:
    WorkerThread() = default;
    WorkerThread(const WorkerThread&) = delete;
    WorkerThread& operator=(const WorkerThread&) = delete;
    ~WorkerThread();

    // False when a thread is still held (join it first).
    bool Start(std::function<void()> work);
    bool IsStarted() const { return thread_.joinable(); }
    // True once the work has returned (also true when never started).
    bool IsFinished() const;
    // Joins when finished; false (and no wait) when it still runs.
    bool CloseIfFinished();
    void Join();

private:
    std::thread thread_;
    std::atomic<bool> finished_{true};
};

}  // namespace qel
