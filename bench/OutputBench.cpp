#include <benchmark/benchmark.h>

#include <memory>

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
}

}  // namespace

static void BM_PackFrame(benchmark::State& state) { PackNominalFrame(state, 0, 0); }
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
}
BENCHMARK(BM_OutputWithoutDisplay)->Unit(benchmark::kMillisecond);
