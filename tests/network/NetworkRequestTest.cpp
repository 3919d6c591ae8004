#include <gtest/gtest.h>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>
#include "network/NetDialogs.h"
#include "network/NetworkRequest.h"
#include "platform/DialogNetwork.h"

namespace {

// Serves requests on this (the main) thread until `count` have been served.
int ServeUntil(NetworkRequest& request, int count) {
    int served = 0;
    for (int i = 0; i < 5000 && served < count; ++i) {
        if (request.Service())
            ++served;
        else
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return served;
}

}  // namespace

TEST(NetworkRequest, AWorkersDialogIsShownOnTheMainThreadAndItsResultReturned) {
    NetworkRequest request;
    std::vector<std::string> shown;
    const std::thread::id mainThread = std::this_thread::get_id();
    NetworkRequest::Presenter p;
    p.begin = [&] { shown.push_back("begin"); };
    p.dialog = [&](int kind) {
        EXPECT_EQ(std::this_thread::get_id(), mainThread);
        shown.push_back("dialog " + std::to_string(kind));
        return kind == NetworkRequest::SelectPlayer ? 0x10005 : 1;
    };
    p.messageBox = [&](const char* text, const char* caption, std::uint32_t flags) {
        shown.push_back(std::string("box ") + caption + " " + text + " " + std::to_string(flags));
    };
    p.end = [&] { shown.push_back("end"); };
    request.SetPresenter(p);

    EXPECT_FALSE(request.Service());  // nothing pending: nothing shown
    EXPECT_TRUE(shown.empty());

    int choice = 0;
    std::thread worker([&] {
        choice = request.RequestDialog(NetworkRequest::SelectPlayer);
        request.RequestMessageBox("Gone.", "Attention", 0x2030);
    });
    EXPECT_EQ(ServeUntil(request, 2), 2);
    worker.join();
    EXPECT_EQ(choice, 0x10005);
    EXPECT_EQ(request.Result(), 0x10005);  // a message box keeps the last result
    EXPECT_EQ(shown,
              (std::vector<std::string>{"begin", "dialog 109", "end", "begin", "box Attention Gone. 8240", "end"}));
    EXPECT_FALSE(request.Pending());
}

TEST(NetworkRequest, WorkersThatAskAtOnceAreServedOneAfterAnother) {
    NetworkRequest request;
    std::atomic<int> inDialog{0};
    int overlap = 0;
    NetworkRequest::Presenter p;
    p.dialog = [&](int) {
        if (++inDialog > 1) ++overlap;
        --inDialog;
        return 1;
    };
    request.SetPresenter(p);
    constexpr int Workers = 8;
    std::vector<std::thread> workers;
    std::atomic<int> answered{0};
    for (int i = 0; i < Workers; ++i)
        workers.emplace_back([&] { answered += request.RequestDialog(NetworkRequest::WaitForPlayers); });
    EXPECT_EQ(ServeUntil(request, Workers), Workers);
    for (auto& w : workers) w.join();
    EXPECT_EQ(answered, Workers);
    EXPECT_EQ(overlap, 0);
}

TEST(NetworkRequest, ReleasingAtShutDownLetsEveryWorkerGoAsCancelled) {
    NetworkRequest request;
    int first = 0, later = 0;
    std::thread worker([&] {
        first = request.RequestDialog(NetworkRequest::SelectPlayer);
        later = request.RequestDialog(NetworkRequest::WaitForPlayers);
    });
    for (int i = 0; i < 5000 && !request.Pending(); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(1));
    request.ReleaseAll();
    worker.join();
    EXPECT_EQ(first, 2);
    EXPECT_EQ(later, 2);
    EXPECT_FALSE(request.Service());
}

TEST(NetworkRequest, AWorkersWorkForTheMainThreadRunsThereWithNothingShownAndNotAfterTheRelease) {
    NetworkRequest request;
    int shown = 0;
    NetworkRequest::Presenter p;
    p.begin = [&] { ++shown; };
    p.dialog = [&](int) { return ++shown; };
    request.SetPresenter(p);
    const std::thread::id mainThread = std::this_thread::get_id();
    std::thread::id ranOn;
    std::thread worker([&] { request.RunOnMainThread([&] { ranOn = std::this_thread::get_id(); }); });
    EXPECT_EQ(ServeUntil(request, 1), 1);
    worker.join();
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_EQ(shown, 0);

    request.ReleaseAll();
    bool ranAfterRelease = false;
    std::thread late([&] { request.RunOnMainThread([&] { ranAfterRelease = true; }); });
    late.join();
    EXPECT_FALSE(request.Service());
    EXPECT_FALSE(ranAfterRelease);
}

TEST(SelectPlayer, OnlyExistingSpritesAreListedAndTheAnswerCarriesTheChosenId) {
    const auto namer = [](std::uint32_t id, std::string& name) {
        if (id == 99) return false;  // no sprite of the level has it
        name = "Sprite " + std::to_string(id);
        return true;
    };
    struct Case {
        const char* what;
        std::vector<std::uint32_t> offered;
        int button;
        int line;
        int expected;
    };
    const Case cases[] = {
        {"OK on the first line", {4, 7}, qel::ButtonOk, 0, 0x10004},
        {"OK on the second line", {4, 7}, qel::ButtonOk, 1, 0x10007},
        {"id 2 is not taken for a cancel", {2}, qel::ButtonOk, 0, 0x10002},
        {"missing ids are skipped", {99, 7}, qel::ButtonOk, 0, 0x10007},
        {"only the low 16 bits of the id", {0x12345}, qel::ButtonOk, 0, 0x12345},
        {"OK on an empty list", {}, qel::ButtonOk, -1, 2},
        {"OK with only missing ids", {99}, qel::ButtonOk, -1, 2},
        {"Cancel", {4, 7}, qel::ButtonCancel, 0, 2},
    };
    for (const Case& c : cases) {
        std::vector<std::string> listed;
        qel::DialogResponder r;
        r.selectPlayer = [&](const std::vector<std::string>& names, int& selected) {
            listed = names;
            selected = c.line;
            return c.button;
        };
        qel::SetDialogResponderForTests(r);
        EXPECT_EQ(net::SelectPlayer(c.offered, namer), c.expected) << c.what;
        for (const std::string& n : listed) EXPECT_NE(n, "Sprite 99") << c.what;
    }
    qel::SetDialogResponderForTests({});
    // Without a display or an answer the dialog counts as cancelled.
    EXPECT_EQ(net::SelectPlayer({4}, namer), 2);
}
