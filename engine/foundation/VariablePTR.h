// A named handle to a Variable of the current level: never null, it holds the
// dummy Variable when the name is unknown.
#pragma once
#include "QelExport.h"

class Variable;

class QEL_API VariablePTR {
public:
    VariablePTR();
    VariablePTR(Variable* v);       // null holds the dummy
    VariablePTR(const char* name);  // Variable::Search, or the dummy after its report

    VariablePTR& operator=(Variable* v);  // null leaves the handle unchanged

    Variable* operator->() const { return held; }
    Variable& operator*() const { return *held; }
    operator Variable*() const { return held; }

    // The one stand-in for every missing variable.
    static Variable* dummyVariablePtr;

private:
    Variable* held;
};
