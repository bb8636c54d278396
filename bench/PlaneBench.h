// Plane operations timed one pass per iteration. Each pass reads every 16-bit sample once and
// writes it once, which is what the byte rate counts.
#pragma once

#include <benchmark/benchmark.h>

#include <cstdint>

#include "image/Frame.h"

namespace bench_plane {

template <typename Pass>
void TimePasses(benchmark::State& state, CFrame& plane, Pass pass) {
    for (auto _ : state) pass(plane);
    state.SetBytesProcessed(state.iterations() * plane.m_nCount * 2 * 2);
}

// Shifts by +5 and -5 in turn, so that the plane keeps coming back to where it started.
template <typename Shift>
void TimeShifts(benchmark::State& state, CFrame& plane, Shift shiftBy) {
    int32_t shift = 5;
    TimePasses(state, plane, [&](CFrame& p) {
        shiftBy(p, shift);
        shift = -shift;
    });
}

}  // namespace bench_plane
