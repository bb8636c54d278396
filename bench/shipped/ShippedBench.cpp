// Benchmarks of the library as it ships: the exports of the loaded library (kavrel.dll on
// Windows, libkavrel.so natively), the same steps called alone, a straightforward implementation
// of the frame and offset calculations, and the streaming floor of each step, all interleaved in
// one process by the harness.
//
//     kavrel-dll-bench [ROUNDS] [LIBRARY [EARLIER-LIBRARY]]
//
// With an earlier build of the library its exports are timed beside the current ones.
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "bench/shipped/Floors.h"
#include "bench/shipped/Harness.h"
#include "bench/shipped/RulesSetting.h"
#include "bench/shipped/Straightforward.h"
#include "engine/FrameEngine.h"
#include "host/library/Kavrel.h"
#include "image/BitmapImage.h"
#include "image/Frame.h"
#include "image/Lut.h"
#include "kavrel.h"
#include "output/FramePacking.h"
#include "support/CalibrationFiles.h"
#include "support/ScanPicture.h"
#include "support/TestFiles.h"

namespace {

// The library loaded by name through the host's loader, with all 22 exports; one that cannot be
// loaded ends the program with the loader's message.
std::unique_ptr<host::CKavrel> LoadKavrel(const std::string& path) {
    try {
        return std::make_unique<host::CKavrel>(path);
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kavrel-dll-bench: %s\n", error.what());
        std::exit(1);
    }
}

// The scan as the calculation sees it after its quarter turn: 3000 x 2399, so that the bitmap's
// rows of 2399 pixels carry padding.
testing_support::ScanPicture BenchScan() {
    testing_support::ScanPicture p;
    p.width = 3000;
    p.height = 2399;
    p.left = 100;
    p.top = 100;
    p.right = p.width - 100;
    p.bottom = p.height - 100;
    p.exposure = [](int32_t x, int32_t y) { return static_cast<uint8_t>(90 + x / 60 + y / 80); };
    return p;
}

// An offset file of varied corrections between -20 and 20.
std::vector<uint8_t> OffsetFile() {
    CFrame map;
    map.Fill(0);
    std::vector<uint16_t> samples;
    for (int32_t i = 0; i < map.m_nCount; ++i) samples.push_back(static_cast<uint16_t>(i % 41 - 20));
    return testing_support::OffsetFileBytes(map.m_nCount, map.m_nCols, map.m_nRows, samples);
}

volatile uint32_t g_Sink;

}  // namespace

int main(int argc, char** argv) {
    const int rounds = argc > 1 ? std::max(3, std::atoi(argv[1])) : 15;
#ifdef _WIN32
    const std::string libraryPath = argc > 2 ? argv[2] : "kavrel.dll";
#else
    const std::string libraryPath = argc > 2 ? argv[2] : KAVREL_LIBRARY_PATH;
#endif
    const std::unique_ptr<host::CKavrel> library = LoadKavrel(libraryPath);
    const host::CKavrel& dll = *library;
    testing_support::TempDir folder("kavrel-bench-");

    // The frame: a 2560 x 2048 picture, the default table, an offset file of varied corrections.
    std::vector<uint8_t> picture(2560 * 2048 * 3);
    for (size_t i = 0; i < picture.size(); ++i) picture[i] = static_cast<uint8_t>(i * 31 + (i >> 13));
    const std::string offsetPath = folder.Path("frame.frm");
    testing_support::WriteBytes(offsetPath, OffsetFile());
    const std::string noLut = folder.Path("none.lut");
    dll.DisableErrorWindow(1);
    dll.SetBitmapPointer(picture.data());
    dll.SetLutFile(noLut.c_str());
    dll.SetOffsetFile(offsetPath.c_str());
    dll.SetColor(1);
    dll.SetPosition(2);

    CBitmapImage image;
    image.Attach(2560, 2048, picture.data());
    CLut lut;
    lut.Load(noLut);
    CFrame offsets;
    offsets.Load(offsetPath);
    CFrame frame;

    // The scan and the offset file the calibrations rewrite.
    const std::string scanPath = folder.Path("scan.bmp");
    testing_support::WriteBytes(scanPath, testing_support::ScanBitmapFile(BenchScan()));
    const std::string calibratedPath = folder.Path("calibrated.frm");
    const std::string straightPath = folder.Path("straight.frm");
    dll.SetScanFile(scanPath.c_str());
    // The calibrations write a file of their own. It does not exist yet, so naming it leaves the
    // offset map of the frames loaded.
    const std::string earlierPath = folder.Path("earlier.frm");
    dll.SetOffsetFile(calibratedPath.c_str());
    CBitmapImage scan;
    CFrame scanPlane;
    CLut scaling;
    scaling.MakeLinear(2000);

    CFrame packSource;
    packSource.Fill(0);
    for (int32_t i = 0; i < packSource.m_nCount; ++i)
        packSource.m_pData[i] = static_cast<uint16_t>((i * 0x9E5u) & 0xFFF);
    std::vector<uint8_t> packed(kavrel::PackedFrameBytes(packSource));

    bench_shipped::CFrameFloor frameFloor;
    bench_shipped::CPackingFloor packingFloor;
    bench_shipped::COffsetFloor offsetFloor(3000, 2399);
    bench_shipped::CStraightforward straightforward;

    bench_shipped::CHarness h;
    const std::string fFloor = "frame floor", pFloor = "packing floor", oFloor = "offset floor";
    const std::string fPlain = "CalcFrame, straightforward", oPlain = "CalcOffset, straightforward";

    h.Add({fFloor, fFloor, "", [&] { frameFloor.Pass(); }});
    h.Add({"CalcFrame, export", fFloor, fPlain, [&] { dll.CalcFrame(0); }});
    h.Add({"CalcFrame, step alone", fFloor, fPlain, [&] {
               frame.ExtractSubPixel(image, 1, 2, lut, offsets);
               g_Sink = frame.m_pData[7];
           }});
    h.Add({fPlain, fFloor, "", [&] { g_Sink = straightforward.CalcFrame(picture.data(), 1, 2, lut, offsets); }});

    h.Add({pFloor, pFloor, "", [&] { packingFloor.Pass(); }});
    const char* widths[] = {"PackFrame, SSE2", "PackFrame, SSSE3", "PackFrame, AVX2"};
    for (int32_t widest = 0; widest < 3; ++widest) {
        h.Add({widths[widest], pFloor, "", [&, widest] {
                   kavrel::LimitByteShuffles(widest);
                   kavrel::PackFrame(packSource, packed.data());
                   g_Sink = packed[5];
               }});
    }
    h.Add({"PackFrame, delay line", pFloor, "", [&] {
               kavrel::LimitByteShuffles(2);
               packSource.SetDelayLine(1);
               kavrel::PackFrame(packSource, packed.data());
               packSource.SetDelayLine(0);
               g_Sink = packed[5];
           }});
    h.Add({"OutputFrame, export, no display", pFloor, "", [&] { dll.OutputFrame(0); }});

    // The offset calculation by each of its rules, chosen before the case's calls; the pixel
    // rules are compared with the block rules of the same round ("faster by" below 1: slower).
    // The straightforward implementation calls the library's map update with the pixel rules,
    // the default.
    const bench_shipped::CRulesSetting rules;
    const std::string oBlocks = "CalcOffset, export, block rules";
    auto byBlocks = [&] { rules.Choose(1); };
    auto byPixels = [&] { rules.Choose(2); };
    h.Add({oFloor, oFloor, "", [&] { offsetFloor.Pass(); }});
    h.Add({oBlocks, oFloor, "", [&] { dll.CalcOffset(1); }, byBlocks});
    h.Add({"CalcOffset, export, pixel rules", oFloor, oBlocks, [&] { dll.CalcOffset(1); },
           byPixels});
    h.Add({oPlain, oFloor, "", [&] { straightforward.CalcOffset(scanPath, straightPath); },
           byPixels});
    h.Add({"  scan read (bitmap file)", oFloor, "", [&] { g_Sink = static_cast<uint32_t>(scan.Load(scanPath)); }});
    h.Add({"  colour byte, table, turn: one pass", oFloor, "", [&] {
               scanPlane.LoadTurnedChannel(scan, 1, scaling);
               g_Sink = scanPlane.m_pData[9];
           }});
    h.Add({"  the same as three steps", oFloor, "", [&] {
               CFrame plane;
               plane.LoadChannel(scan, 1);
               scaling.Apply(plane);
               plane.Rotate90();
               g_Sink = plane.m_pData[9];
           }});
    h.Add({"  prepared plane, straightened", oFloor, "", [&] {
               scanPlane.LoadTurnedChannel(scan, 1, scaling);
               scanPlane.SetEdgeThreshold(1800);
               scanPlane.CorrectGeometry();
               g_Sink = scanPlane.m_pData[9];
           }});

    if (argc > 3) {
        // The earlier build, prepared the same way, in the same process.
        static const std::unique_ptr<host::CKavrel> earlierLibrary = LoadKavrel(argv[3]);
        const host::CKavrel& earlier = *earlierLibrary;
        earlier.DisableErrorWindow(1);
        earlier.SetBitmapPointer(picture.data());
        earlier.SetLutFile(noLut.c_str());
        earlier.SetOffsetFile(offsetPath.c_str());
        earlier.SetColor(1);
        earlier.SetPosition(2);
        earlier.SetScanFile(scanPath.c_str());
        h.Add({"earlier build: CalcFrame, export", fFloor, fPlain, [&] { earlier.CalcFrame(0); }});
        h.Add({"earlier build: OutputFrame, no display", pFloor, "", [&] { earlier.OutputFrame(0); }});
        earlier.SetOffsetFile(earlierPath.c_str());
        h.Add({"earlier build: CalcOffset, block rules", oFloor, "", [&] { earlier.CalcOffset(1); },
               byBlocks});
        h.Add({"earlier build: CalcOffset, pixel rules", oFloor, oBlocks,
               [&] { earlier.CalcOffset(1); }, byPixels});
    }

    h.Run(rounds);
    std::printf("%d rounds; median time per call, its ratio to the step's floor in the same round "
                "(median and range), and how many times faster than the straightforward "
                "implementation\n",
                rounds);
    h.Report(stdout);
    return 0;
}
