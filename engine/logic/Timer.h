// A countdown in frames that calls a behaviour function with its owner when it
// runs out, once (one-shot) or every period (periodic). Delays given in
// milliseconds are turned into frames at the current level's frame rate.
#pragma once
#include <cstdint>

#include "QelExport.h"
#include "logic/LogicTypes.h"

class File;

class QEL_API Timer {
public:
    // remaining := reload := delay, unconverted.
    Timer(BehaviorFunction callback = nullptr, unsigned int delay = 0, TimerUnit unit = 0, bool running = true,
          TimerMode mode = 1);

    // Milliseconds to frames (unit 1 only): remaining x (rate x 0.001).
    void Init();
    // A new delay (milliseconds to frames as (delay x rate) x 0.001 for unit 1)
    // and mode; the running flag is kept.
    void Reset(unsigned int delay, TimerMode mode);
    void SetMode(TimerMode newMode) { mode = newMode; }
    TimerMode GetMode() const { return mode; }
    void Start() { running = true; }
    void Stop() { running = false; }
    bool IsRunning() const { return running; }
    unsigned int TimeRemaining() const { return remaining; }
    // One frame: count down, call back on reaching 0, reload when periodic.
    void Tick(void* owner);

    void Save(File& file);
    void Load(File& file);

private:
    bool running;
    TimerUnit unit;
    std::uint32_t remaining;
    std::uint32_t reload;
    TimerMode mode;
    BehaviorFunction callback;
};
