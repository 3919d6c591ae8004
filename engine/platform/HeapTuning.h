// The C library's heap, tuned once at start-up for a game's order of work:
// a level's smaller blocks are freed at each switch and the next level's are
// allocated at once.
#pragma once
#include "QelExport.h"

namespace qel {

// Blocks below 32 MB come from the heap, whose freed memory is kept for the
// next level instead of being unmapped and faulted in afresh, page by page.
// Safe to call more than once.
QEL_API void TuneHeap();

}  // namespace qel
