// Fills the engine's misuse report with the game object and game function at
// work, so that a report the engine makes meanwhile names them.
#pragma once

namespace report {

// The whole report cleared, then the given fields (null leaves one empty).
void Context(const char* objectName, const char* objectType, const char* stateMachine, const char* stateName,
             const char* edgeName, const char* functionName);
// A state action of a state machine of a sprite.
void Action(const char* spriteName, const char* stateMachine, const char* stateName);
// An edge condition of a state machine of a sprite.
void Condition(const char* spriteName, const char* stateMachine, const char* edgeName);
// A behaviour function of an owner of that type ("Sprite", "GameNode", "Game").
void Function(const char* ownerName, const char* ownerType, const char* functionName);
// A shared routine: the whole report cleared, then only its own name.
void Routine(const char* routineName);

}  // namespace report
