#include <benchmark/benchmark.h>

#include "image/Frame.h"

// Rotating and smoothing a nominal plane, as the offset calculation does.
static void BM_Rotate90(benchmark::State& state) {
    CFrame frame;
    frame.Fill(100);
    for (auto _ : state) frame.Rotate90();
    state.SetBytesProcessed(state.iterations() * frame.m_nCount * 2 * 2);
}
BENCHMARK(BM_Rotate90)->Unit(benchmark::kMillisecond);

static void BM_SmoothDiagonal(benchmark::State& state) {
    CFrame frame;
    frame.Fill(100);
    for (auto _ : state) frame.SmoothDiagonal();
    state.SetBytesProcessed(state.iterations() * frame.m_nCount * 2 * 2);
}
BENCHMARK(BM_SmoothDiagonal)->Unit(benchmark::kMillisecond);
