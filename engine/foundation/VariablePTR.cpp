#include "foundation/VariablePTR.h"

#include "foundation/Variable.h"

Variable* VariablePTR::dummyVariablePtr = new Variable();

VariablePTR::VariablePTR() : held(dummyVariablePtr) {}

VariablePTR::VariablePTR(Variable* v) : held(v ? v : dummyVariablePtr) {}

VariablePTR::VariablePTR(const char* name) : VariablePTR(Variable::Search(name)) {}

VariablePTR& VariablePTR::operator=(Variable* v) {
    if (v) held = v;
    return *this;
}
