#include "platform/HeapTuning.h"

#include <malloc.h>

namespace qel {

void TuneHeap() {
    // Without this the C library maps every block from 128 KB up (a decoded
    // picture, a sprite's frames) afresh and unmaps it when freed, so every
    // level switch pays the kernel for zeroed pages, one small page at a time.
    // Up to 32 MB the heap now serves them and reuses what the last level gave
    // back. Pixel blocks of 2 MB and more are not the heap's where the system
    // gives huge pages: they are mappings of their own (ByteBlock).
    constexpr int MmapThreshold = 32 << 20;
    // While a level runs, free memory at the heap's top is given back to the
    // system only beyond this (a level switch gives back the rest once the
    // next level is built: GiveBackFreeHeap).
    constexpr int TrimThreshold = 128 << 20;
    mallopt(M_MMAP_THRESHOLD, MmapThreshold);
    mallopt(M_TRIM_THRESHOLD, TrimThreshold);
}

void GiveBackFreeHeap() {
    // Every whole free page of every arena, wherever it lies, not only at the
    // top (which the freed blocks of a level's middle seldom reach).
    malloc_trim(0);
}

}  // namespace qel
