#include "model/HeapSettings.h"

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace valmora {

namespace {
// Far above any single block a network needs, far below what the machine has.
constexpr int kLargestHeapBlock = 256 * 1024 * 1024;
} // namespace

void keepLargeBlocksInTheHeap() {
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock);
    mallopt(M_TRIM_THRESHOLD, kLargestHeapBlock);
#endif
}

} // namespace valmora
