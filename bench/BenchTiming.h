#pragma once

// Timing of repeated runs for the benchmarks: best and median, printed on one line.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <vector>

namespace valmora::bench {

struct Timing {
    double best;   // ms
    double median; // ms
};

inline Timing timeRuns(int runs, const std::function<void()>& work) {
    std::vector<double> ms;
    for (int r = 0; r < runs; ++r) {
        const auto start = std::chrono::steady_clock::now();
        work();
        ms.push_back(
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count());
    }
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

inline void report(const char* what, const Timing& t) {
    std::printf("%-60s best %9.2f ms   median %9.2f ms\n", what, t.best, t.median);
}

inline void report(const char* what, int runs, const std::function<void()>& work) {
    report(what, timeRuns(runs, work));
}

} // namespace valmora::bench
