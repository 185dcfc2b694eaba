#include "model/HeapSettings.h"

// Any C library header defines __GLIBC__ where the C library is glibc; without one
// included first, the test below would always be false and the settings never made.
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace valmora {

namespace {
// Far above any single block a network needs, far below what the machine has.
constexpr int kLargestHeapBlock = 256 * 1024 * 1024;
} // namespace

bool keepLargeBlocksInTheHeap() {
#if defined(__GLIBC__)
    return mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 1 &&
           mallopt(M_TRIM_THRESHOLD, kLargestHeapBlock) == 1;
#else
    return false;
#endif
}

} // namespace valmora
