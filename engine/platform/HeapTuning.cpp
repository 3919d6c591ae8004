#include "platform/HeapTuning.h"

#include <malloc.h>

namespace qel {

void TuneHeap() {
    // Without this the C library maps every block from 128 KB up (a level's
    // map, a decoded picture) afresh and unmaps it when freed, so every level
    // switch pays the kernel for zeroed pages. Up to 32 MB the heap now serves
    // them and reuses what the last level gave back.
    constexpr int MmapThreshold = 32 << 20;
    // Free memory at the heap's top is given back to the system only beyond
    // this; below it the next level finds it already mapped.
    constexpr int TrimThreshold = 128 << 20;
    mallopt(M_MMAP_THRESHOLD, MmapThreshold);
    mallopt(M_TRIM_THRESHOLD, TrimThreshold);
}

}  // namespace qel
