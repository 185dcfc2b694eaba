#pragma once

// What the programs (valmora, valmora-cli, valmora-pdf, the benchmarks) set up before
// anything else: how the C library manages the heap, and the numbers' formats.

namespace valmora {

// Under the C or POSIX locale (no language chosen at all) numbers are shown as an Italian
// designer reads them: "45.000 mm - (4,5 bar)", never "45,000 mm - (4.5 bar)", which reads
// as 45 mm. A locale the user chose is followed. Called after the application object exists.
void useItalianNumbersUnlessALocaleIsChosen();

// Large blocks (the tables of a network of 32 767 nodes, the solver's work vectors, the
// output buffers) come from the heap and go back to it, instead of fresh pages from the
// system at every calculation: faulting those pages in took a third of a calculation's time.
// The heap is also grown once at the start and backed with huge pages where the system
// allows: the first calculation of a large network, in the command-line tool its only one,
// then faults in its memory 2 MB at a time (on this project's machine 4 450 page faults
// became 700, and valmora-cli calc --json on 32 767 nodes went from 160 to 100 ms).
// Called once at the start of the program, the command-line tool and the benchmarks.
// Returns whether the C library took the settings (only glibc's can).
bool keepLargeBlocksInTheHeap();

} // namespace valmora
