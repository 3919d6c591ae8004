// The program nolt: hands the game's hooks to the engine and lets it run.
#include <string>

#include "logic/GameDeclarations.h"
#include "platform/Resources.h"
#include "runtime/EngineGlobals.h"
#include "runtime/QelMain.h"

// The program's embedded resources (icon, cursor, bitmaps, dialogs).
extern const qel::ResourceTable noltResources;

namespace {

// The arguments after the program name, separated by spaces.
std::string CommandLine(int argc, char** argv) {
    std::string line;
    for (int i = 1; i < argc; ++i) {
        if (i > 1) line += ' ';
        line += argv[i];
    }
    return line;
}

}  // namespace

int main(int argc, char** argv) {
    InstallGameHooks();
    std::string commandLine = CommandLine(argc, argv);
    constexpr int ShowNormal = 1;
    return QelMain(&noltResources, nullptr, commandLine.data(), ShowNormal);
}
