// What every harness shares: a headless, quiet process working in a scratch
// folder of its own, the input served as a file, and a small running game for
// the readers that build levels.
#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace qel {
class Surface;
}
class GameNode;

namespace fuzz {

// Once per process: no display, no sound card, message boxes swallowed, the
// working directory a new scratch folder (removed at exit), and a fatal exit
// (the engine's answer to a corrupt game or level file) thrown as
// FatalExitReached instead of ending the process.
void StartHeadless();

struct FatalExitReached {};

// Runs one input's work; a fatal exit ends only that input.
template <class Work>
void UntilFatalExit(Work work) {
    try {
        work();
    } catch (const FatalExitReached&) {
    }
}

// The input as a program resource of that name: a File reads it from memory.
class ResourceInput {
public:
    ResourceInput(const char* name, const std::uint8_t* data, std::size_t size);
    ~ResourceInput();
    ResourceInput(const ResourceInput&) = delete;
    ResourceInput& operator=(const ResourceInput&) = delete;

private:
    struct Table;
    std::unique_ptr<Table> table;
};

// Writes the input to a file in the scratch folder; its name.
std::string WriteInput(const char* leaf, const std::uint8_t* data, std::size_t size);

// A game with one current level, a 32-bit back buffer and small logic tables:
// enough for every class of the object graph to load.
void StartSmallGame();
// The current level emptied, the actor table too, as before the next input.
void ResetSmallGame();

// Splits an input into parts at each occurrence of the separator, so one
// input can hold several files.
std::vector<std::vector<std::uint8_t>> SplitInput(const std::uint8_t* data, std::size_t size,
                                                  const std::string& separator);

}  // namespace fuzz

// The harness, run on one input (libFuzzer's entry or the corpus driver).
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size);
extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv);
