// Fuzz target: the offset calculation on small scans, through CFrameEngine::CalcOffset and a scan
// file, with the settings it reads and with or without an old offset file.
//
// Input: four bytes of settings (the colour byte, the correction factor, the threshold, and the
// smoothing setting with the kind of old offset file), then the scan: a bitmap file as it is when
// it starts with "BM", else a description that testing_support::DescribedScan draws. Afterwards
// the offset file is either as it was or a complete 1280 x 1024 map, and no temporary file is
// left.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "engine/FrameEngine.h"
#include "fuzz/FuzzSupport.h"
#include "support/Planes.h"
#include "support/ScanPicture.h"
#include "base/ByteIO.h"
#include "platform/SafeSave.h"
#include "platform/MessageBox.h"

namespace {

constexpr size_t kMapFileSize = 18 + 2 * 1280 * 1024;

// Old offset files: a full map, and one of another size that must not be added.
std::vector<uint8_t> OldMap(int32_t cols, int32_t rows) {
    CFrame map;
    testing_support::PaintSamples(map, cols, rows, [](int32_t i) { return i % 301 - 150; });
    const std::string path = fuzzing::ScratchPath("template.frm");
    map.Save(path);
    return testing_support::ReadBytes(path);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool ready = [] {
        platform::SetMessageSink([](const std::string&, platform::MessageStyle) {});
        const std::string folder = fuzzing::ScratchPath("");
        return setenv("KAVREL_INI_DIR", folder.c_str(), 1) == 0;
    }();
    static const std::vector<uint8_t> fullMap = OldMap(1280, 1024);
    static const std::vector<uint8_t> smallMap = OldMap(40, 32);
    FUZZ_CHECK(ready);
    if (size < 4) return 0;

    const int32_t color = data[0] % 4;  // 3 is no colour byte
    // 0 gives the default, 1 gives 0, anything else a value on either side.
    const int32_t factor = data[1] == 0 ? 100 : static_cast<int8_t>(data[1] - 1) * 16;
    const int32_t threshold = data[2] == 0 ? 90 : static_cast<int8_t>(data[2] - 1) * 2;
    const int32_t smoothing = data[3] & 3;
    const int32_t oldFile = (data[3] >> 2) % 3;  // none, full map, map of another size

    const uint8_t* scan = data + 4;
    const size_t scanSize = size - 4;
    const std::string scanPath =
        scanSize >= 2 && scan[0] == 'B' && scan[1] == 'M'
            ? fuzzing::WriteScratchFile("scan.bmp", scan, scanSize)
            : fuzzing::WriteScratchFile(
                  "scan.bmp", testing_support::ScanBitmapFile(
                                  testing_support::DescribedScan(scan, scanSize, color)));
    const std::string settings = "[Imaging]\nUnsharpenOffset=" + std::to_string(smoothing) + "\n";
    fuzzing::WriteScratchFile("kavrel.INI", reinterpret_cast<const uint8_t*>(settings.data()),
                              settings.size());

    const std::string offsetPath = fuzzing::ScratchPath("offsets.frm");
    std::filesystem::remove(offsetPath);
    std::vector<uint8_t> before;
    if (oldFile == 1) before = fullMap;
    if (oldFile == 2) before = smallMap;
    if (!before.empty()) fuzzing::WriteScratchFile("offsets.frm", before);

    CFrameEngine engine;
    engine.SetOffsetFile(offsetPath.c_str());
    engine.SetScanFile(scanPath.c_str());
    engine.SetCorrectionFactor(factor);
    engine.SetThreshold(threshold);
    engine.CalcOffset(color);

    FUZZ_CHECK(kavrel::LeftoverTemporaries(offsetPath).empty());
    const bool exists = std::filesystem::exists(offsetPath);
    const std::vector<uint8_t> after =
        exists ? testing_support::ReadBytes(offsetPath) : std::vector<uint8_t>();
    if (exists && after != before) {
        // A new map: whole, of the nominal size.
        FUZZ_CHECK(after.size() == kMapFileSize);
        FUZZ_CHECK(std::memcmp(after.data(), "FRAME", 6) == 0);
        FUZZ_CHECK(kavrel::ReadLE32(after.data() + 6) == 1280u * 1024u);
        FUZZ_CHECK(kavrel::ReadLE32(after.data() + 10) == 1280u);
        FUZZ_CHECK(kavrel::ReadLE32(after.data() + 14) == 1024u);
    } else {
        FUZZ_CHECK(exists == !before.empty());
    }
    return 0;
}
