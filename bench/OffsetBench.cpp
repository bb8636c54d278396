#include <benchmark/benchmark.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "bench/FloorRatio.h"
#include "bench/PlaneBench.h"
#include "bench/shipped/Floors.h"
#include "calibration/ColumnShift.h"
#include "engine/FrameEngine.h"
#include "image/Frame.h"
#include "support/Planes.h"
#include "support/ScanPicture.h"
#include "support/SettingsFolder.h"
#include "support/TestFiles.h"

namespace {

constexpr int32_t kScanWidth = 3000;  // as the calculation sees the scan, after its quarter turn
constexpr int32_t kScanHeight = 2400;

testing_support::ScanPicture BenchScan() {
    testing_support::ScanPicture p;
    p.width = kScanWidth;
    p.height = kScanHeight;
    p.left = 100;
    p.top = 100;
    p.right = kScanWidth - 100;
    p.bottom = kScanHeight - 100;
    p.exposure = [](int32_t x, int32_t y) { return static_cast<uint8_t>(90 + x / 60 + y / 80); };
    return p;
}

void PaintScanPlane(CFrame& plane) {
    testing_support::PaintSamples(plane, kScanWidth, kScanHeight, [](int32_t i) { return i % 2001; });
}

// The floor of a calibration: the passes it must make, each as a plain loop over buffers of its
// size.
class COffsetFloor : public bench_shipped::COffsetFloor {
public:
    COffsetFloor() : bench_shipped::COffsetFloor(kScanWidth, kScanHeight) {}
};

double OffsetFloorSeconds() { return bench_floor::FloorSeconds<COffsetFloor>(7); }

}  // namespace

static void BM_CalcOffsetFloor(benchmark::State& state) {
    COffsetFloor floor;
    for (auto _ : state) floor.Pass();
    bench_floor::SetRatioToFloor(state, OffsetFloorSeconds());
}
BENCHMARK(BM_CalcOffsetFloor)->Unit(benchmark::kMillisecond);

// A whole calibration by the rules that the settings text chooses: load the scan, prepare it,
// measure the grid, add the previous map (the file written by the call before) and save.
static void BM_CalcOffset(benchmark::State& state, const char* settings) {
    const testing_support::SettingsFolder rules(settings);
    const testing_support::TempDir folder("kavrel-bench-");
    const std::string scan = folder.Path("scan.bmp");
    testing_support::WriteBytes(scan, testing_support::ScanBitmapFile(BenchScan()));
    CFrameEngine engine;
    engine.DisableErrorWindow(1);
    engine.SetScanFile(scan.c_str());
    engine.SetOffsetFile(folder.Path("offset.frm").c_str());
    for (auto _ : state) engine.CalcOffset(1);
    bench_floor::SetRatioToFloor(state, OffsetFloorSeconds());
}
BENCHMARK_CAPTURE(BM_CalcOffset, block_rules, "[Imaging]\nCalibrationRules=1\n")
    ->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_CalcOffset, pixel_rules, "[Imaging]\nCalibrationRules=2\n")
    ->Unit(benchmark::kMillisecond);

// The quarter turn of a scan plane: every sample read once and written once.
static void BM_Rotate90Scan(benchmark::State& state) {
    CFrame plane;
    PaintScanPlane(plane);
    bench_plane::TimePasses(state, plane, [](CFrame& p) { p.Rotate90(); });
}
BENCHMARK(BM_Rotate90Scan)->Unit(benchmark::kMillisecond);

// Straightening moves every row, then every column, by a few samples.
template <typename Shift>
static void TimeShiftsOnScanPlane(benchmark::State& state, Shift shiftBy) {
    CFrame plane;
    PaintScanPlane(plane);
    bench_plane::TimeShifts(state, plane, shiftBy);
}

static void BM_ShiftRows(benchmark::State& state) {
    TimeShiftsOnScanPlane(state, [](CFrame& plane, int32_t shift) {
        for (int32_t y = 0; y < plane.m_nRows; ++y) plane.ShiftRow(shift, y);
    });
}
BENCHMARK(BM_ShiftRows)->Unit(benchmark::kMillisecond);

static void BM_ShiftColumns(benchmark::State& state) {
    TimeShiftsOnScanPlane(state, [](CFrame& plane, int32_t shift) {
        for (int32_t x = 0; x < plane.m_nCols; ++x) plane.ShiftColumn(x, shift);
    });
}
BENCHMARK(BM_ShiftColumns)->Unit(benchmark::kMillisecond);

// The same column shifts as straightening makes them: along the rows, strip by strip.
static void BM_ShiftColumnsAlongRows(benchmark::State& state) {
    TimeShiftsOnScanPlane(state, [](CFrame& plane, int32_t shift) {
        kavrel::ShiftColumns(plane, [&](int32_t) { return shift; });
    });
}
BENCHMARK(BM_ShiftColumnsAlongRows)->Unit(benchmark::kMillisecond);
