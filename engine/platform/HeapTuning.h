// The C library's heap, tuned once at start-up for a game's order of work:
// a level's blocks are freed at each switch and the next level's are
// allocated at once, out of the memory the last level gave back.
#pragma once
#include "QelExport.h"

namespace qel {

// Blocks below 32 MB come from the heap, whose freed memory is kept for the
// next level instead of being unmapped and faulted in afresh, page by page.
// Safe to call more than once.
QEL_API void TuneHeap();

// Gives the heap's free pages back to the system. Called once a level switch
// has built the new level: the level left has freed its blocks, the new one
// has taken what it needs of them, and the rest (a large level's memory, back
// in a small one; the blocks a level's loading only needed for a while) would
// otherwise stay resident, scattered between blocks in use, until a level as
// large as the largest one played comes again.
QEL_API void GiveBackFreeHeap();

}  // namespace qel
