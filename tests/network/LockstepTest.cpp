#include <gtest/gtest.h>
#include "LockstepPair.h"

namespace {

std::string Lines(const std::vector<std::string>& lines) {
    std::string all;
    for (const std::string& line : lines) all += line + "\n";
    return all;
}

}  // namespace

// Two peers that play thousands of frames of random input must see exactly
// the same input on every sprite in every frame, whatever order their
// session's threads happen to run in.
TEST(Lockstep, TwoPeersSeeTheSameInputInEveryFrameOfALongGame) {
    constexpr int Frames = 2000;
    LockstepPair pair;
    ASSERT_TRUE(pair.Ready());
    ASSERT_TRUE(pair.RunFrames(Frames));
    ASSERT_EQ(pair.hostHashes.size(), std::size_t(Frames));
    ASSERT_EQ(pair.joinHashes.size(), std::size_t(Frames));
    for (int i = 0; i < Frames; ++i)
        ASSERT_EQ(pair.hostHashes[std::size_t(i)], pair.joinHashes[std::size_t(i)])
            << "the peers part at frame " << i + 1 << "; the host's log:\n"
            << pair.hostEnv.Read([&] { return Lines(pair.hostEnv.logs); }) << "the joiner's log:\n"
            << pair.joinEnv.Read([&] { return Lines(pair.joinEnv.logs); });
}
