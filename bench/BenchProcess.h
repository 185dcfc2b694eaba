#pragma once

// The benchmarks of the windows run as the desktop program would, without a display.

#include "platform/ProgramStart.h"

#include <QByteArray>
#include <QtGlobal>

namespace valmora::bench {

// Before the application object: the offscreen platform unless another is asked for, and
// the heap kept as the programs keep it.
inline void prepareWindowBenchmark() {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    keepLargeBlocksInTheHeap();
}

} // namespace valmora::bench
