#include "logic/GuardLD.h"

#include "foundation/File.h"
#include "foundation/ClassPool.h"

namespace {
[[maybe_unused]] MemoryPool& pool = ClassPool<GuardLD>::Pool();
}  // namespace

CREATE GuardLD::cr("GuardLD", &GuardLD::CreateObject);

node* GuardLD::Clone() const { return new GuardLD(*this); }

void GuardLD::Load(File& file) {
    file.Read(flag);
    file.Read(valueA);
    file.Read(valueB);
}

void GuardLD::Save(File& file) {
    file.Write(flag);
    file.Write(valueA);
    file.Write(valueB);
}

const char* GuardLD::ClassName() const { return cr.name; }

void* GuardLD::operator new(std::size_t size) { return ClassPool<GuardLD>::Alloc(size); }

void GuardLD::operator delete(void* p, std::size_t size) { ClassPool<GuardLD>::Free(p, size); }

node* GuardLD::CreateObject() { return new GuardLD(); }
