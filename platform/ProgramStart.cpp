#include "platform/ProgramStart.h"

#include <QLocale>

// Any C library header defines __GLIBC__ where the C library is glibc; without one
// included first, the test below would always be false and the settings never made.
#include <cstdint>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/mman.h>
#endif

namespace valmora {

namespace {
// Far above any single block a network needs, far below what the machine has.
constexpr int kLargestHeapBlock = 256 * 1024 * 1024;
// Room for everything a network of 32 767 nodes needs at once (tables, solver, output
// buffers: about 40 MB), asked of the system in one piece at the start.
constexpr std::size_t kReservedHeap = std::size_t(64) * 1024 * 1024;
constexpr std::uintptr_t kHugePage = std::uintptr_t(2) * 1024 * 1024;

#if defined(__GLIBC__)
// Grows the heap by kReservedHeap and gives it back at once: it stays in the heap (the trim
// threshold is above it), untouched, so it costs no memory until used. The system is asked
// to back it with huge pages where it can: a page fault then maps 2 MB instead of 4 KB, and
// on a virtual machine, where each fault is dear, faulting in the tables of a large network
// took more time than reading and calculating it.
void reserveHeapInHugePages() {
    void* block = std::malloc(kReservedHeap);
    if (block == nullptr)
        return;
    const auto start = reinterpret_cast<std::uintptr_t>(block);
    const std::uintptr_t alignedStart = (start + kHugePage - 1) & ~(kHugePage - 1);
    const std::uintptr_t alignedEnd = (start + kReservedHeap) & ~(kHugePage - 1);
    if (alignedEnd > alignedStart)
        madvise(reinterpret_cast<void*>(alignedStart), alignedEnd - alignedStart, MADV_HUGEPAGE);
    std::free(block);
}
#endif
} // namespace

void useItalianNumbersUnlessALocaleIsChosen() {
    if (QLocale::system().language() == QLocale::C)
        QLocale::setDefault(QLocale(QLocale::Italian, QLocale::Italy));
}

bool keepLargeBlocksInTheHeap() {
#if defined(__GLIBC__)
    const bool taken = mallopt(M_MMAP_THRESHOLD, kLargestHeapBlock) == 1 &&
                       mallopt(M_TRIM_THRESHOLD, kLargestHeapBlock) == 1;
    if (taken)
        reserveHeapInHugePages();
    return taken;
#else
    return false;
#endif
}

} // namespace valmora
