#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "bench/FloorRatio.h"
#include "bench/shipped/Floors.h"

#include "image/Frame.h"
#include "output/FramePacking.h"
#include "platform/DisplayContext.h"

namespace {

// A nominal frame of varied 12-bit samples.
void MakeNominalFrame(CFrame& frame) {
    frame.Fill(0);
    for (int32_t i = 0; i < frame.m_nCount; ++i)
        frame.m_pData[i] = static_cast<uint16_t>((i * 0x9E5u) & 0xFFF);
}

// The streaming floor of packing a nominal frame: read the 2.62 MB of samples and write the
// 3.93 MB of pixels as plain loops.
using bench_shipped::CPackingFloor;

double PackingFloorSeconds() { return bench_floor::FloorSeconds<CPackingFloor>(); }

// Packing one nominal frame into its 24-bit buffer; bytes are the packed bytes written.
void PackNominalFrame(benchmark::State& state, int32_t delayLine, int32_t delayShift) {
    CFrame frame;
    MakeNominalFrame(frame);
    frame.SetDelayLine(delayLine);
    frame.SetDelayShift(delayShift);
    const size_t bytes = kavrel::PackedFrameBytes(frame);
    std::unique_ptr<uint8_t[]> packed(new uint8_t[bytes]);
    for (auto _ : state) {
        kavrel::PackFrame(frame, packed.get());
        benchmark::DoNotOptimize(packed.get());
        benchmark::ClobberMemory();
    }
    state.SetBytesProcessed(state.iterations() * static_cast<int64_t>(bytes));
    bench_floor::SetRatioToFloor(state, PackingFloorSeconds());
}

}  // namespace

static void BM_PackFrame(benchmark::State& state) { PackNominalFrame(state, 0, 0); }
static void BM_PackFrameFloor(benchmark::State& state) {
    CPackingFloor floor;
    for (auto _ : state) floor.Pass();
    state.SetBytesProcessed(state.iterations() * 1280 * 1024 * 3);
    bench_floor::SetRatioToFloor(state, PackingFloorSeconds());
}
BENCHMARK(BM_PackFrameFloor)->Unit(benchmark::kMillisecond);

BENCHMARK(BM_PackFrame)->Unit(benchmark::kMillisecond);

static void BM_PackFrameDelayLine(benchmark::State& state) { PackNominalFrame(state, 1, 0); }
BENCHMARK(BM_PackFrameDelayLine)->Unit(benchmark::kMillisecond);

static void BM_PackFrameDelayLineShifted(benchmark::State& state) { PackNominalFrame(state, 1, 1); }
BENCHMARK(BM_PackFrameDelayLineShifted)->Unit(benchmark::kMillisecond);

// Output without a display: the buffer's allocation and release and the packing, all of a
// frame's cost but the drawing itself.
static void BM_OutputWithoutDisplay(benchmark::State& state) {
    CFrame frame;
    MakeNominalFrame(frame);
    CDC dc;
    for (auto _ : state) frame.Output(dc);
    state.SetBytesProcessed(state.iterations() *
                            static_cast<int64_t>(kavrel::PackedFrameBytes(frame)));
    bench_floor::SetRatioToFloor(state, PackingFloorSeconds());
}
BENCHMARK(BM_OutputWithoutDisplay)->Unit(benchmark::kMillisecond);
