// A message box shown from a worker thread waits for a person, who may never
// come: neither it nor the copy of the process that shows it may keep the
// process from ending, and the end must not crash.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "../support/ChildProcess.h"
#include "../support/VirtualDisplay.h"

namespace {

using namespace std::chrono_literals;

TEST(WorkerBoxProcess, TheProcessEndsWhileAWorkersBoxIsUpAndTheBoxGoesWithIt) {
    const std::string errorFile =
        (std::filesystem::temp_directory_path() / ("qel-worker-box-" + std::to_string(::getpid()) + ".err")).string();
    // Returning from main with the worker still in its box, and joining the
    // worker first, as the game's shut-down does.
    for (const char* ending : {"detached", "joined"}) {
        SCOPED_TRACE(ending);
        VirtualDisplay x;
        REQUIRE_VIRTUAL_DISPLAY(x);
        ChildProcess helper({{QEL_BOX_HELPER, ending},
                             {{"DISPLAY", x.Name()},
                              {"SDL_VIDEODRIVER", "x11"},
                              {"SDL_AUDIODRIVER", "dummy"},
                              {"LSAN_OPTIONS", "suppressions=" QEL_LSAN_SUPPRESSIONS}},
                             "",
                             errorFile,
                             true});
        ASSERT_NE(x.WaitForWindow("Worker box", 20s), 0u) << helper.ErrorText();

        helper.CloseInput();
        const std::optional<int> status = helper.WaitFor(1s);
        ASSERT_TRUE(status) << "the worker's box kept the process";
        EXPECT_EQ(*status, 0) << "an end without fault; " << helper.ErrorText();
        EXPECT_TRUE(VirtualDisplay::WaitUntil(1s, [&] { return x.FindWindow("Worker box") == 0; }))
            << "a copy of the process kept the box up";
    }
    std::filesystem::remove(errorFile);
}

}  // namespace
