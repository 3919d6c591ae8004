#include "logic/GuardLD.h"

#include "foundation/File.h"
#include "logic/PooledAllocation.h"

namespace {
[[maybe_unused]] MemoryPool& pool = PooledAllocation<GuardLD>::Pool();
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

void* GuardLD::operator new(std::size_t size) { return PooledAllocation<GuardLD>::Allocate(size); }

void GuardLD::operator delete(void* p, std::size_t size) { PooledAllocation<GuardLD>::Release(p, size); }

node* GuardLD::CreateObject() { return new GuardLD(); }
