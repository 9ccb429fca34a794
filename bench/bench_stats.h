// Small helpers the benchmarks share: a microsecond clock and order statistics.
#pragma once

#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace bench {

inline double NowUs() {
    static LARGE_INTEGER frequency = [] {
        LARGE_INTEGER f;
        QueryPerformanceFrequency(&f);
        return f;
    }();
    LARGE_INTEGER now;
    QueryPerformanceCounter(&now);
    return now.QuadPart * 1e6 / frequency.QuadPart;
}

struct Summary {
    double median = 0, p99 = 0, max = 0;
};

inline Summary Summarise(std::vector<double> samples) {
    Summary s;
    if (samples.empty()) return s;
    std::sort(samples.begin(), samples.end());
    auto at = [&](double q) { return samples[std::min(samples.size() - 1, static_cast<size_t>(q * samples.size()))]; };
    s.median = at(0.5);
    s.p99 = at(0.99);
    s.max = samples.back();
    return s;
}

inline void Print(const char *name, const Summary &s, const char *unit) {
    std::printf("  %-34s median %9.1f %s   p99 %9.1f %s   max %9.1f %s\n", name, s.median, unit, s.p99, unit, s.max, unit);
}

}  // namespace bench
