#include "foundation/UserError.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>
#include <mutex>
#include <string>
#include "foundation/Console.h"
#include "foundation/FatalExit.h"

// Created at library load in this order, destroyed in the reverse one.
Array<UserError> UserError::SpritesErrors;
Array<UserError> UserError::MapsErrors;
Array<UserError> UserError::VariablesErrors;
Array<UserError> UserError::AlarmsErrors;
Array<UserError> UserError::GameErrors;
Array<UserError> UserError::Errors;

UserError _UE;

namespace {

template <std::size_t N>
void CopyCut(char (&field)[N], const char* text) {
    std::snprintf(field, N, "%s", text ? text : "");
}

Array<UserError>& HistoryFor(const char* objectType) {
    if (std::strcmp(objectType, "Sprite") == 0) return UserError::SpritesErrors;
    if (std::strcmp(objectType, "Variable") == 0) return UserError::VariablesErrors;
    if (std::strcmp(objectType, "Map") == 0) return UserError::MapsErrors;
    if (std::strcmp(objectType, "Alarm") == 0) return UserError::AlarmsErrors;
    if (std::strcmp(objectType, "Game") == 0) return UserError::GameErrors;
    return UserError::Errors;
}

bool AlreadyPrinted(const Array<UserError>& history, const UserError& report) {
    for (unsigned int i = 0; i < history.Size(); ++i)
        if (history[i] == report) return true;
    return false;
}

// A field of the record is a text that its writer may have filled to the brim.
std::string FieldText(const char* field, std::size_t size) { return std::string(field, strnlen(field, size)); }

struct Line {
    const char* label;
    const char* field;
};

// The context lines, in print order; a line is printed only when its field is set.
void ContextLines(const UserError& r, Line (&lines)[6]) {
    lines[0] = {"Object type : ", r.ObjectType};
    lines[1] = {"Object name : ", r.ObjectName};
    lines[2] = {"State machine name : ", r.StateMachineName};
    lines[3] = {"State name : ", r.StateName};
    lines[4] = {"Edge name : ", r.EdgeName};
    lines[5] = {"Function Name : ", r.FunctionName};
}

}  // namespace

UserError::UserError() { std::memset(this, 0, sizeof(UserError)); }

// The fields are texts: whatever an earlier, longer text left after the
// terminator is not part of them.
bool UserError::operator==(const UserError& other) const {
    if (this == &other) return true;
    auto same = [](const char* a, const char* b) { return std::strncmp(a, b, NameSize) == 0; };
    return same(ObjectName, other.ObjectName) && same(ObjectType, other.ObjectType) &&
           same(StateMachineName, other.StateMachineName) && same(StateName, other.StateName) &&
           same(EdgeName, other.EdgeName) && same(FunctionName, other.FunctionName) &&
           same(TargetFunction, other.TargetFunction);
}

void UserError::Print() {
    std::lock_guard<std::recursive_mutex> lock(Console::OutputLock());
    Array<UserError>& history = HistoryFor(FieldText(ObjectType, NameSize).c_str());
    if (AlreadyPrinted(history, *this)) return;
    history.Add(*this);

    Line lines[6];
    ContextLines(*this, lines);
    std::string target = FieldText(TargetFunction, NameSize);
    std::string message = FieldText(ErrorMessage, MessageSize);

    if (!pConsole) {
        // Before the console exists (the game's set-up): standard error only.
        std::fputs("User Error :\n", stderr);
        for (const Line& line : lines)
            if (line.field[0]) std::fprintf(stderr, "%s%s\n", line.label, FieldText(line.field, NameSize).c_str());
        std::fprintf(stderr, "Target Function : %s\nError Message : %s\n\n", target.c_str(), message.c_str());
        return;
    }
    pConsole->Print("User Error :\n");
    for (const Line& line : lines)
        if (line.field[0]) pConsole->Print("%s%s\n", line.label, FieldText(line.field, NameSize).c_str());
    pConsole->Print("Target Function : %s\n", target.c_str());
    pConsole->Print("Error Message : %s\n", message.c_str());
    pConsole->Print("\n");
    pConsole->Show(true);
}

void UserError::ExitMessage() {
    std::string text = "User Error :\n";
    Line lines[6];
    ContextLines(*this, lines);
    for (const Line& line : lines)
        if (line.field[0]) text += line.label + FieldText(line.field, NameSize) + "\n";
    text += "Target Function : " + FieldText(TargetFunction, NameSize) + "\n";
    text += "Error Message : " + FieldText(ErrorMessage, MessageSize);
    // Shown literally: a percent sign in a name is not a format.
    FatalExit("%s", text.c_str());
}

namespace {

void FillReport(const char* targetFunction, const char* format, va_list args) {
    std::vsnprintf(_UE.ErrorMessage, sizeof _UE.ErrorMessage, format, args);
    CopyCut(_UE.TargetFunction, targetFunction);
}

}  // namespace

void UserError::Report(const char* targetFunction, const char* format, ...) {
    std::lock_guard<std::recursive_mutex> lock(Console::OutputLock());
    va_list args;
    va_start(args, format);
    FillReport(targetFunction, format, args);
    va_end(args);
    _UE.Print();
}

void UserError::ReportAndExit(const char* targetFunction, const char* format, ...) {
    std::lock_guard<std::recursive_mutex> lock(Console::OutputLock());
    va_list args;
    va_start(args, format);
    FillReport(targetFunction, format, args);
    va_end(args);
    _UE.ExitMessage();
}
