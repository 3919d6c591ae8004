// Hooks the engine's own tests, fuzzers and benchmarks use to run the engine
// headless and deterministic, and to provoke failures. They are not part of
// the interface a game sees: this header is not installed and the hooks are
// not exported from the shared library (the tests link the engine's archives).
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>

#include "platform/MessageBox.h"

class NetworkComponent;

namespace qel {

// While the virtual clock is on, TimeGetTime() returns the virtual time and
// then advances it by `stepPerRead` ms, so a loop spinning on the clock ends
// after a bounded number of reads; Sleep(ms) advances it by ms.
void UseVirtualClock(std::uint32_t start, std::uint32_t stepPerRead = 1);

// While manual mixing is on, the device plays silence and the buffers and
// players advance only through RenderAudio, which mixes `frames` frames
// (device channels interleaved) as the device would have.
void UseManualMixing(bool on);
void RenderAudio(std::int16_t* out, std::size_t frames);

// The next `count` file syncs fail, as on a failing disk; the folder sync
// numbered `which` from now on (1 the next one) fails, 0 none.
void FailFileSyncsForTests(int count);
void FailFolderSyncForTests(int which);

// While set, every message box goes to the observer instead of the screen or
// standard error. Pass an empty function to remove it.
using MessageBoxObserver = std::function<void(const char* text, const char* caption, MessageBoxIcon icon)>;
void SetMessageBoxObserver(MessageBoxObserver observer);

}  // namespace qel

// Where a session listens, for tests that share a machine.
class NetworkComponentTesting {
public:
    // Listens on this address only (all addresses when empty).
    static void BindAddress(NetworkComponent& component, const char* address);
    // The host listens on a port the system chooses (the port given is only
    // checked); ListeningPort says which.
    static void ListenOnAnyPort(NetworkComponent& component);
    static std::uint32_t ListeningPort(const NetworkComponent& component);
};
