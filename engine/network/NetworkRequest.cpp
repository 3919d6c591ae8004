#include "network/NetworkRequest.h"

#include "network/NetDialogsInternal.h"

NetworkRequest netRequest;

NetworkRequest::NetworkRequest() = default;

NetworkRequest::~NetworkRequest() = default;

// The check of `released` and the posting happen under one lock with the
// release: a request posted just as the game shuts down would otherwise
// wait for a main thread that never serves it again.
void NetworkRequest::Post() {
    {
        std::lock_guard<std::mutex> hold(releaseLock);
        if (released) {
            result = 2;
            return;
        }
        pending = true;
    }
    event.Wait();
}

void NetworkRequest::ReleaseAll() {
    std::lock_guard<std::mutex> hold(releaseLock);
    released = true;
    if (pending.exchange(false)) {
        result = 2;
        event.Set();
    }
}

int NetworkRequest::RequestDialog(int requested) {
    std::lock_guard<std::mutex> hold(slot);
    kind = requested;
    Post();
    return result;
}

void NetworkRequest::RequestMessageBox(const char* message, const char* title, unsigned int boxFlags) {
    std::lock_guard<std::mutex> hold(slot);
    kind = MessageBoxKind;
    text = message;
    caption = title;
    flags = boxFlags;
    Post();
}

void NetworkRequest::RunOnMainThread(std::function<void()> mainWork) {
    std::lock_guard<std::mutex> hold(slot);
    kind = WorkKind;
    work = std::move(mainWork);
    Post();
    work = nullptr;
}

bool NetworkRequest::Service() {
    if (!pending) return false;
    if (kind == WorkKind) {
        work();
        return Served();
    }
    Presenter shown;
    {
        std::lock_guard<std::mutex> hold(presenterLock);
        shown = presenter.dialog ? presenter : EngineRequestPresenter();
    }
    if (shown.begin) shown.begin();
    if (kind == SelectPlayer || kind == WaitForPlayers) {
        result = shown.dialog(kind);
    } else if (kind == MessageBoxKind) {
        if (shown.messageBox) shown.messageBox(text, caption, flags);
    }
    if (shown.end) shown.end();
    return Served();
}

bool NetworkRequest::Served() {
    pending = false;
    event.Set();
    return true;
}

void NetworkRequest::SetPresenter(Presenter replacement) {
    std::lock_guard<std::mutex> hold(presenterLock);
    presenter = std::move(replacement);
}
