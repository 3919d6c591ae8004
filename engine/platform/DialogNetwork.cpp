#include "platform/DialogNetwork.h"

#include <mutex>

namespace qel {

namespace {

std::mutex responderLock;
DialogResponder responder;

DialogResponder Current() {
    std::lock_guard<std::mutex> hold(responderLock);
    return responder;
}

}  // namespace

void SetDialogResponderForTests(DialogResponder answers) {
    std::lock_guard<std::mutex> hold(responderLock);
    responder = std::move(answers);
}

int NetworkOptionDialog(HWND) {
    const DialogResponder r = Current();
    return r.option ? r.option() : ButtonCancel;
}

int SessionDialog(HWND, bool join, SessionFields& fields) {
    const DialogResponder r = Current();
    return r.session ? r.session(join, fields) : ButtonCancel;
}

int SelectPlayerDialog(HWND, const std::vector<std::string>& names, int& selected) {
    selected = names.empty() ? -1 : 0;
    const DialogResponder r = Current();
    return r.selectPlayer ? r.selectPlayer(names, selected) : ButtonCancel;
}

int WaitDialog(HWND, const std::function<bool()>& done, std::uint32_t) {
    const DialogResponder r = Current();
    return r.wait ? r.wait(done) : ButtonCancel;
}

}  // namespace qel
