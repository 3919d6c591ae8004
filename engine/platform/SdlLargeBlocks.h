// SDL's own large allocations (a decoded picture is one block, a level map's
// megabytes) taken from huge-page-advised mappings: from the C library each
// would come in fresh 4 KB pages, a page fault apiece when SDL clears it.
#pragma once

namespace qel {

// Routes SDL's allocations through the engine from now on; small blocks still
// go to the C library. Blocks SDL had before are freed where they came from.
void RouteSdlLargeBlocks();

}  // namespace qel
