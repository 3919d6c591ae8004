#include "SoundFixture.h"

// Registered before main runs; gtest_main then runs every test with it.
static testing::Environment* const audioEnvironment =
    testing::AddGlobalTestEnvironment(new soundtest::AudioEnvironment());

namespace {

// A sound destroyed while it plays fades out over the next few milliseconds
// mixed: each test starts after those of the tests before it.
class FadedTailsHeard : public testing::EmptyTestEventListener {
    void OnTestStart(const testing::TestInfo&) override { soundtest::Render(44100 / 100); }
};

testing::TestEventListener* const tailsHeard = [] {
    auto* listener = new FadedTailsHeard();
    testing::UnitTest::GetInstance()->listeners().Append(listener);
    return listener;
}();

}  // namespace
