#include "SoundFixture.h"

// Registered before main runs; gtest_main then runs every test with it.
static testing::Environment* const audioEnvironment =
    testing::AddGlobalTestEnvironment(new soundtest::AudioEnvironment());
