// The streaming floor of a step, measured once in the process, and each benchmark's time as a
// multiple of it, printed as the counter "ratio_to_floor".
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <vector>

namespace bench_floor {

// The median processor time of one call of `pass`, in seconds, after one call to warm the caches
// and the pages.
template <class Pass>
double MedianCpuSeconds(Pass pass, int runs = 15) {
    pass();
    std::vector<double> seconds;
    for (int i = 0; i < runs; ++i) {
        const std::clock_t start = std::clock();
        pass();
        seconds.push_back(static_cast<double>(std::clock() - start) / CLOCKS_PER_SEC);
    }
    std::nth_element(seconds.begin(), seconds.begin() + runs / 2, seconds.end());
    return seconds[runs / 2];
}

// The median time of one pass of a floor (a class with a default constructor and Pass()),
// measured the first time it is asked for and kept for the rest of the process.
template <class Floor>
double FloorSeconds(int runs = 15) {
    static const double seconds = [runs] {
        Floor floor;
        return MedianCpuSeconds([&] { floor.Pass(); }, runs);
    }();
    return seconds;
}

// Sets "ratio_to_floor": processor time per iteration divided by floorSeconds. The library
// turns floorSeconds * iterations / cpu time into its inverse.
inline void SetRatioToFloor(benchmark::State& state, double floorSeconds) {
    state.counters["ratio_to_floor"] = benchmark::Counter(
        floorSeconds, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
}

}  // namespace bench_floor
