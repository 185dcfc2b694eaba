#pragma once

// How the programs ask the C library to manage the heap.

namespace valmora {

// Large blocks (the tables of a network of 32 767 nodes, the solver's work vectors, the
// output buffers) come from the heap and go back to it, instead of fresh pages from the
// system at every calculation: faulting those pages in took a third of a calculation's time.
// Called once at the start of the program, the command-line tool and the benchmarks.
// Returns whether the C library took the settings (only glibc's can).
bool keepLargeBlocksInTheHeap();

} // namespace valmora
