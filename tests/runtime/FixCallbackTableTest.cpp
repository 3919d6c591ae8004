// The callback and level-function tables keep their size, so that a number
// past the table answers no function instead of reading beyond it.
#include <gtest/gtest.h>

#include "logic/LogicTablesInternal.h"
#include "runtime/EngineGlobalsInternal.h"

namespace {

void Action(int, void*) {}
bool Condition(void*) { return true; }

TEST(CallbackTable, LookupsAnswerOnlyEntriesInsideTheTableItsAllocatorMade) {
    FreeGameTables();
    SMFArray = NewVoidPointers(2);
    SMFArray[0] = reinterpret_cast<void*>(&Action);
    SMFArray[1] = reinterpret_cast<void*>(&Condition);
    EXPECT_EQ(VoidPointerCount(SMFArray), 2u);
    struct Case {
        int index;
        void* expected;
    };
    for (const Case& c : {Case{-1, nullptr}, Case{0, reinterpret_cast<void*>(&Action)},
                          Case{1, reinterpret_cast<void*>(&Condition)}, Case{2, nullptr}, Case{1 << 30, nullptr}}) {
        EXPECT_EQ(GetStateFunction(c.index), c.expected) << c.index;
        EXPECT_EQ(GetEdgeFunction(c.index), c.expected) << c.index;
    }
    FreeGameTables();
    EXPECT_EQ(GetStateFunction(0), nullptr);
}

TEST(CallbackTable, ATableIsItsOwnSizeUntilFreedAndForeignPointersHaveNone) {
    void** a = NewVoidPointers(3);
    void** b = NewVoidPointers(0);
    void* foreign[4] = {};
    EXPECT_EQ(VoidPointerCount(a), 3u);
    EXPECT_EQ(VoidPointerCount(b), 0u);
    EXPECT_EQ(VoidPointerCount(foreign), 0u);
    EXPECT_EQ(VoidPointerCount(nullptr), 0u);
    EXPECT_EQ(VoidPointerAt(b, 0), nullptr);
    EXPECT_EQ(VoidPointerAt(foreign, 0), nullptr);
    FreeVoidPointers(a);
    FreeVoidPointers(b);
    void** c = NewVoidPointers(1);  // may reuse a freed address: it has the new size
    EXPECT_EQ(VoidPointerCount(c), 1u);
    FreeVoidPointers(c);
}

}  // namespace
