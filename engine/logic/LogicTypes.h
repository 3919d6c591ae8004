// The callback types and the timer settings shared by behaviours, timers and
// state machines. Every callback gets the object whose behaviour runs it.
#pragma once
#include <cstdint>

// A behaviour function or a timer's callback.
typedef void (*BehaviorFunction)(void* owner);
// A state's action; entering is 1 in the first frame after the state was
// entered (2 for a path edge that asks for it), else 0.
typedef void (*StateAction)(int entering, void* owner);
// An edge's test; true lets the edge fire.
typedef bool (*EdgeCondition)(void* owner);

// 1: delays are milliseconds; any other value: frames.
typedef std::int32_t TimerUnit;
// 1: periodic; any other value: one-shot.
typedef std::int32_t TimerMode;
