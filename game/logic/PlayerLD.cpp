#include "logic/PlayerLD.h"

#include "foundation/File.h"
#include "foundation/ClassPool.h"

namespace {
// The pool exists before any object can be made or loaded.
[[maybe_unused]] MemoryPool& pool = ClassPool<PlayerLD>::Pool();
}  // namespace

CREATE PlayerLD::cr("PlayerLD", &PlayerLD::CreateObject);

node* PlayerLD::Clone() const { return new PlayerLD(*this); }

void PlayerLD::Load(File& file) {
    file.Read(run);
    file.Read(jump);
}

void PlayerLD::Save(File& file) {
    file.Write(run);
    file.Write(jump);
}

const char* PlayerLD::ClassName() const { return cr.name; }

void* PlayerLD::operator new(std::size_t size) { return ClassPool<PlayerLD>::Alloc(size); }

void PlayerLD::operator delete(void* p, std::size_t size) { ClassPool<PlayerLD>::Free(p, size); }

node* PlayerLD::CreateObject() { return new PlayerLD(); }
