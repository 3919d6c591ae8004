#include <string>
#include <vector>

#include "EngineRun.h"
#include "display/DisplayInternal.h"
#include "platform/Display.h"
#include "platform/MessageQueue.h"
#include "runtime/EngineGlobalsInternal.h"
#include "runtime/Game.h"
#include "runtime/GameNode.h"

namespace {

using Event = qel::SimulatedEvent;

// One step: what happens in one pass, and the state a few passes later
// (each pass handles one window message).
struct Step {
    bool pauseKey;  // suspended as the pause key does it
    std::vector<Event> events;
    bool suspendedAfter;
};

struct Scenario {
    const char* name;
    std::vector<Step> steps;
};

}  // namespace

TEST_F(EngineRunTest, FocusLossSuspendsAndFocusGainResumes) {
    const Scenario scenarios[] = {
        {"lose and gain", {{false, {Event::FocusLost}, true}, {false, {Event::FocusGained}, false}}},
        {"paused, lose and gain", {{true, {Event::FocusLost}, true}, {false, {Event::FocusGained}, false}}},
        {"paused, minimised and restored",
         {{true, {Event::Minimized, Event::FocusLost}, true}, {false, {Event::FocusGained}, true}}},
        {"running, minimised and restored",
         {{false, {Event::Minimized, Event::FocusLost}, true}, {false, {Event::FocusGained}, false}}},
    };
    constexpr int PassesPerStep = 5;
    for (const Scenario& scenario : scenarios) {
        std::vector<bool> suspended;
        std::vector<bool> flagLeft;
        std::vector<std::uint32_t> presentsWhileChecked;
        EngineRun::script = [&](int pass) {
            const int step = pass / PassesPerStep - 1;
            const int phase = pass % PassesPerStep;
            if (step >= 0 && step < int(scenario.steps.size()) && phase == 0) {
                if (scenario.steps[step].pauseKey) _IsSuspended = true;
                for (Event e : scenario.steps[step].events) qel::SimulateWindowEvent(_Ghwnd, e);
            }
            if (step >= 0 && step < int(scenario.steps.size()) && phase == PassesPerStep - 2)
                presentsWhileChecked.push_back(pDirectDraw->PresentCount());
            if (step >= 0 && step < int(scenario.steps.size()) && phase == PassesPerStep - 1) {
                suspended.push_back(_IsSuspended);
                flagLeft.push_back(minimizedWhileSuspended);
                presentsWhileChecked.back() = pDirectDraw->PresentCount() - presentsWhileChecked.back();
            }
            if (step == int(scenario.steps.size())) myGame->EndGame();
        };
        ASSERT_EQ(EngineRun::Run(), 0) << scenario.name;
        ASSERT_EQ(suspended.size(), scenario.steps.size()) << scenario.name;
        for (std::size_t i = 0; i < suspended.size(); ++i) {
            EXPECT_EQ(suspended[i], scenario.steps[i].suspendedAfter) << scenario.name << " step " << i;
            // Nothing is presented while suspended; a running game presents every pass.
            EXPECT_EQ(presentsWhileChecked[i], scenario.steps[i].suspendedAfter ? 0u : 1u)
                << scenario.name << " step " << i;
        }
        EXPECT_FALSE(flagLeft.back()) << scenario.name;
    }
}
