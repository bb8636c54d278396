#include <benchmark/benchmark.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include "bench/FloorRatio.h"
#include "bench/shipped/Floors.h"
#include "calibration/ColumnShift.h"
#include "engine/FrameEngine.h"
#include "image/Frame.h"
#include "tests/support/ScanPicture.h"

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

// A folder of its own for the scan and the offset file, removed at the end.
class BenchFolder {
public:
    BenchFolder() {
        std::random_device random;
        m_path =
            std::filesystem::temp_directory_path() / ("kavrel-bench-" + std::to_string(random()));
        std::filesystem::create_directories(m_path);
    }
    ~BenchFolder() {
        std::error_code ignored;
        std::filesystem::remove_all(m_path, ignored);
    }
    std::string Path(const char* name) const { return (m_path / name).string(); }

private:
    std::filesystem::path m_path;
};

void PaintScanPlane(CFrame& plane) {
    plane.m_nCols = kScanWidth;
    plane.m_nRows = kScanHeight;
    plane.m_nCount = kScanWidth * kScanHeight;
    plane.m_pData = std::make_unique<uint16_t[]>(static_cast<size_t>(plane.m_nCount));
    for (int32_t i = 0; i < plane.m_nCount; ++i) plane.m_pData[i] = static_cast<uint16_t>(i % 2001);
}

// The floor of a calibration: the passes it must make, each as a plain loop over buffers of its
// size.
class COffsetFloor : public bench_shipped::COffsetFloor {
public:
    COffsetFloor() : bench_shipped::COffsetFloor(kScanWidth, kScanHeight) {}
};

double OffsetFloorSeconds() {
    static const double seconds = [] {
        COffsetFloor floor;
        return bench_floor::MedianCpuSeconds([&] { floor.Pass(); }, 7);
    }();
    return seconds;
}

}  // namespace

static void BM_CalcOffsetFloor(benchmark::State& state) {
    COffsetFloor floor;
    for (auto _ : state) floor.Pass();
    bench_floor::SetRatioToFloor(state, OffsetFloorSeconds());
}
BENCHMARK(BM_CalcOffsetFloor)->Unit(benchmark::kMillisecond);

// A whole calibration: load the scan, prepare it, measure the grid, add the previous map (the
// file written by the call before) and save.
static void BM_CalcOffset(benchmark::State& state) {
    BenchFolder folder;
    const std::string scan = folder.Path("scan.bmp");
    const std::vector<uint8_t> bitmap = testing_support::ScanBitmapFile(BenchScan());
    std::ofstream(scan, std::ios::binary)
        .write(reinterpret_cast<const char*>(bitmap.data()),
               static_cast<std::streamsize>(bitmap.size()));
    CFrameEngine engine;
    engine.DisableErrorWindow(1);
    engine.SetScanFile(scan.c_str());
    engine.SetOffsetFile(folder.Path("offset.frm").c_str());
    for (auto _ : state) engine.CalcOffset(1);
    bench_floor::SetRatioToFloor(state, OffsetFloorSeconds());
}
BENCHMARK(BM_CalcOffset)->Unit(benchmark::kMillisecond);

// The quarter turn of a scan plane: every sample read once and written once.
static void BM_Rotate90Scan(benchmark::State& state) {
    CFrame plane;
    PaintScanPlane(plane);
    for (auto _ : state) plane.Rotate90();
    state.SetBytesProcessed(state.iterations() * plane.m_nCount * 2 * 2);
}
BENCHMARK(BM_Rotate90Scan)->Unit(benchmark::kMillisecond);

// Straightening moves every row, then every column, by a few samples.
static void BM_ShiftRows(benchmark::State& state) {
    CFrame plane;
    PaintScanPlane(plane);
    int32_t shift = 5;
    for (auto _ : state) {
        for (int32_t y = 0; y < plane.m_nRows; ++y) plane.ShiftRow(shift, y);
        shift = -shift;
    }
    state.SetBytesProcessed(state.iterations() * plane.m_nCount * 2 * 2);
}
BENCHMARK(BM_ShiftRows)->Unit(benchmark::kMillisecond);

static void BM_ShiftColumns(benchmark::State& state) {
    CFrame plane;
    PaintScanPlane(plane);
    int32_t shift = 5;
    for (auto _ : state) {
        for (int32_t x = 0; x < plane.m_nCols; ++x) plane.ShiftColumn(x, shift);
        shift = -shift;
    }
    state.SetBytesProcessed(state.iterations() * plane.m_nCount * 2 * 2);
}
BENCHMARK(BM_ShiftColumns)->Unit(benchmark::kMillisecond);

// The same column shifts as straightening makes them: along the rows, strip by strip.
static void BM_ShiftColumnsAlongRows(benchmark::State& state) {
    CFrame plane;
    PaintScanPlane(plane);
    int32_t shift = 5;
    for (auto _ : state) {
        kavrel::ShiftColumns(plane, [&](int32_t) { return shift; });
        shift = -shift;
    }
    state.SetBytesProcessed(state.iterations() * plane.m_nCount * 2 * 2);
}
BENCHMARK(BM_ShiftColumnsAlongRows)->Unit(benchmark::kMillisecond);
