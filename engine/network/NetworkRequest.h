// The hand-over of a network worker's dialog or message box to the main
// thread: the worker posts its request and blocks; the frame step serves it
// first thing in the next frame and releases the worker with the result.
#pragma once
#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include "QelExport.h"
#include "foundation/String.h"
#include "platform/Sync.h"

class QEL_API NetworkRequest {
public:
    static constexpr int SelectPlayer = 109;
    static constexpr int WaitForPlayers = 110;
    static constexpr int MessageBoxKind = 10000;
    static constexpr int WorkKind = 10001;

    // What serving a request shows: the engine's dialogs unless replaced.
    struct Presenter {
        std::function<void()> begin;  // input stopped, system cursor shown
        std::function<int(int kind)> dialog;
        std::function<void(const char* text, const char* caption, std::uint32_t flags)> messageBox;
        std::function<void()> end;  // input restarted, remote players' input reset
    };

    NetworkRequest();
    ~NetworkRequest();
    NetworkRequest(const NetworkRequest&) = delete;
    NetworkRequest& operator=(const NetworkRequest&) = delete;

    // Worker side: each blocks until the main thread has served it. Requests
    // of several workers are served one after another.
    int RequestDialog(int kind);
    void RequestMessageBox(const char* text, const char* caption, unsigned int flags);
    // Runs the work on the main thread, between two frames, with nothing
    // shown; after the release at shut-down it is not run at all.
    void RunOnMainThread(std::function<void()> work);
    int Result() const { return result; }

    // Main thread: serves a pending request; false at once when none is.
    bool Service();
    bool Pending() const { return pending; }
    // At shut-down: the waiting worker and every later request return at
    // once with 2 (cancel), so no worker is left blocked.
    void ReleaseAll();

    // An empty presenter restores the engine's.
    void SetPresenter(Presenter presenter);

private:
    void Post();
    // Main thread: lets the waiting worker go.
    bool Served();

    qel::AutoResetEvent event;
    std::atomic<bool> pending{false};
    std::atomic<bool> released{false};
    std::atomic<int> result{0};
    int kind = 0;
    String text;
    String caption;
    std::uint32_t flags = 0;
    std::function<void()> work;
    std::mutex slot;         // one request at a time
    std::mutex releaseLock;  // posting against the release at shut-down
    std::mutex presenterLock;
    Presenter presenter;
};

extern QEL_API NetworkRequest netRequest;
