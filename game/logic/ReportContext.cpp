#include "logic/ReportContext.h"

#include <cstring>

#include "foundation/UserError.h"

namespace report {
namespace {

void Put(char (&field)[UserError::NameSize], const char* text) {
    if (text == nullptr) return;
    std::strncpy(field, text, UserError::NameSize - 1);
    field[UserError::NameSize - 1] = '\0';
}

}  // namespace

void Context(const char* objectName, const char* objectType, const char* stateMachine, const char* stateName,
             const char* edgeName, const char* functionName) {
    std::memset(static_cast<void*>(&_UE), 0, sizeof _UE);
    Put(_UE.ObjectName, objectName);
    Put(_UE.ObjectType, objectType);
    Put(_UE.StateMachineName, stateMachine);
    Put(_UE.StateName, stateName);
    Put(_UE.EdgeName, edgeName);
    Put(_UE.FunctionName, functionName);
}

void Action(const char* spriteName, const char* stateMachine, const char* stateName) {
    Context(spriteName, "Sprite", stateMachine, stateName, nullptr, "Action");
}

void Condition(const char* spriteName, const char* stateMachine, const char* edgeName) {
    Context(spriteName, "Sprite", stateMachine, nullptr, edgeName, "Condition");
}

void Function(const char* ownerName, const char* ownerType, const char* functionName) {
    Context(ownerName, ownerType, nullptr, nullptr, nullptr, functionName);
}

void Routine(const char* routineName) { Context(nullptr, nullptr, nullptr, nullptr, nullptr, routineName); }

}  // namespace report
