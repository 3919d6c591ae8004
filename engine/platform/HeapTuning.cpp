#include "platform/HeapTuning.h"

#include <malloc.h>

namespace qel {

void TuneHeap() {
    // Without this the C library maps every block from 128 KB up (a decoded
    // picture, a sprite's frames) afresh and unmaps it when freed, so every
    // level switch pays the kernel for zeroed pages, one small page at a time.
    // Up to 32 MB the heap now serves them and reuses what the last level gave
    // back. Pixel and file blocks of a megabyte and more are not the heap's:
    // they are mappings of their own in huge pages (ByteBlock).
    constexpr int MmapThreshold = 32 << 20;
    // Free memory at the heap's top is given back to the system only beyond
    // this; below it the next level finds it already mapped.
    constexpr int TrimThreshold = 128 << 20;
    mallopt(M_MMAP_THRESHOLD, MmapThreshold);
    mallopt(M_TRIM_THRESHOLD, TrimThreshold);
}

}  // namespace qel
