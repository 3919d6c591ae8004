// A tiny game program of its own: it includes the umbrella header, links the
// installed library and reads back a resource embedded by the engine's CMake function.
#include <QelEngine.h>

#include <cstring>

extern const qel::ResourceTable consumerResources;

int main() {
    qel::SetProgramResources(&consumerResources);
    const qel::ResourceEntry* r = qel::FindProgramResource("rcdata", "GREETING");
    if (!r || r->size != 5 || std::memcmp(r->data, "hello", 5) != 0) return 1;
    return qel::NativePath("\\Art Assets\\\\Maps\\") == "/Art Assets/Maps/" ? 0 : 1;
}
