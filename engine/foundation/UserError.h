// Misuse reports: an engine method that the game misuses fills the one global
// report _UE and prints it once to the console; the game goes on.
#pragma once
#include "QelExport.h"
#include "foundation/Array.h"

class QEL_API UserError {
public:
    static constexpr int NameSize = 256;
    static constexpr int MessageSize = 512;

    // Context set by the game's behaviour code (the engine never clears it).
    char ObjectName[NameSize];
    char ObjectType[NameSize];  // "Sprite", "Variable", "Map", "Alarm", "Game" or another kind
    char StateMachineName[NameSize];
    char StateName[NameSize];
    char EdgeName[NameSize];
    char FunctionName[NameSize];
    // Written by the reporting engine method.
    char TargetFunction[NameSize];
    char ErrorMessage[MessageSize];

    // All eight texts empty.
    UserError();

    // Same object, or the seven name fields equal byte by byte; the message is
    // not compared, so one place reports once whatever its arguments.
    bool operator==(const UserError& other) const;

    // Prints the report to the console unless an equal one was printed before,
    // and shows the console. Safe to call from any thread.
    void Print();
    // Shows the report in the fatal message box and ends the program.
    [[noreturn]] void ExitMessage();

    // The reporting pattern in one call: the message is formatted (cut to fit)
    // into _UE, the target function copied (cut to fit), then _UE is printed.
    static void Report(const char* targetFunction, const char* format, ...) __attribute__((format(printf, 2, 3)));
    // The same, ending in ExitMessage instead of Print.
    [[noreturn]] static void ReportAndExit(const char* targetFunction, const char* format, ...)
        __attribute__((format(printf, 2, 3)));

    // Every printed report, by object type; they only grow.
    static Array<UserError> SpritesErrors;
    static Array<UserError> MapsErrors;
    static Array<UserError> VariablesErrors;
    static Array<UserError> AlarmsErrors;
    static Array<UserError> GameErrors;
    static Array<UserError> Errors;  // every other type, the empty one included
};

static_assert(sizeof(UserError) == 7 * UserError::NameSize + UserError::MessageSize);

// The engine's one misuse report.
extern QEL_API UserError _UE;
