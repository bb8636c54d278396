#include <benchmark/benchmark.h>

#include "bench/PlaneBench.h"
#include "image/Frame.h"

// Rotating and smoothing a nominal plane, as the offset calculation does.
template <typename Pass>
static void TimeOnNominalPlane(benchmark::State& state, Pass pass) {
    CFrame frame;
    frame.Fill(100);
    bench_plane::TimePasses(state, frame, pass);
}

static void BM_Rotate90(benchmark::State& state) {
    TimeOnNominalPlane(state, [](CFrame& frame) { frame.Rotate90(); });
}
BENCHMARK(BM_Rotate90)->Unit(benchmark::kMillisecond);

static void BM_SmoothDiagonal(benchmark::State& state) {
    TimeOnNominalPlane(state, [](CFrame& frame) { frame.SmoothDiagonal(); });
}
BENCHMARK(BM_SmoothDiagonal)->Unit(benchmark::kMillisecond);
