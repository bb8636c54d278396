#include <benchmark/benchmark.h>

#include <vector>

#include "bench/FloorRatio.h"
#include "bench/shipped/Floors.h"
#include "engine/FrameEngine.h"

namespace {

// The streaming floor of a frame: read the 1024 image rows a frame touches, read the offset map,
// write the frame, as plain loops over buffers of those sizes.
using bench_shipped::CFrameFloor;

double FrameFloorSeconds() { return bench_floor::FloorSeconds<CFrameFloor>(); }

}  // namespace

// One frame at the nominal size: extraction from a 2560 x 2048 image, the LUT, the offset map.
static void BM_CalcFrame(benchmark::State& state) {
    std::vector<uint8_t> pixels(2560 * 2048 * 3);
    for (size_t i = 0; i < pixels.size(); ++i) pixels[i] = static_cast<uint8_t>(i * 31 + (i >> 13));
    CFrameEngine engine;
    engine.SetBitmapPointer(pixels.data());
    engine.m_Lut.MakeInverse(4095);
    engine.m_Offset.Fill(0);
    for (int32_t i = 0; i < engine.m_Offset.m_nCount; ++i) engine.m_Offset.m_pData[i] = static_cast<uint16_t>(i % 41 - 20);
    engine.SetColor(1);
    engine.SetPosition(2);
    for (auto _ : state) {
        engine.CalcFrame(0);
        benchmark::DoNotOptimize(engine.m_Frames[0].m_pData.get());
    }
    // Image rows the frame touches (1024 of 2048), the offset map read, the frame written.
    const int64_t bytes = 1024LL * 7680 + 2 * 2621440LL;
    state.SetBytesProcessed(state.iterations() * bytes);
    bench_floor::SetRatioToFloor(state, FrameFloorSeconds());
    state.counters["frames/s"] = benchmark::Counter(static_cast<double>(state.iterations()), benchmark::Counter::kIsRate);
}
BENCHMARK(BM_CalcFrame)->Unit(benchmark::kMillisecond);

// The floor itself, timed as the benchmarks are.
static void BM_CalcFrameFloor(benchmark::State& state) {
    CFrameFloor floor;
    for (auto _ : state) floor.Pass();
    state.SetBytesProcessed(state.iterations() * (1024LL * 7680 + 2 * 2621440LL));
    bench_floor::SetRatioToFloor(state, FrameFloorSeconds());
}
BENCHMARK(BM_CalcFrameFloor)->Unit(benchmark::kMillisecond);
