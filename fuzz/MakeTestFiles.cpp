// Writes the hostile files that the tests and the fuzzers start from:
//
//   kavrel-make-test-files malformed DIR         one small file per defect, and expected.txt
//   kavrel-make-test-files check-malformed DIR   exit 1 unless DIR holds exactly those files
//   kavrel-make-test-files seeds DIR             a seed corpus per fuzz target, DIR/<target>/
//
// Every file is built here byte by byte, so the sets can be regenerated at any time.
#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "support/Bitmaps.h"
#include "support/CalibrationFiles.h"
#include "support/TestFiles.h"

namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<uint8_t>;

using testing_support::BitmapLayout;
using testing_support::PatchLE32;
using testing_support::PutLE16;
using testing_support::PutLE32;

Bytes Cut(Bytes b, size_t keep) {
    b.resize(keep);
    return b;
}
Bytes Text(const char* s) { return Bytes(s, s + std::strlen(s)); }

// ---- bitmaps

// The bitmap that the malformed files start from: 8 x 6 pixels of 24 bits.
BitmapLayout Bitmap() { return BitmapLayout{8, 6}; }

// A bitmap file whose pixel array has the rows and padding that the header describes, filled
// with a pattern (an 8-bit file gets a palette).
Bytes BitmapFile(const BitmapLayout& layout) {
    const uint32_t size = static_cast<uint32_t>(
        testing_support::BitmapStride(layout.width, layout.bitCount) * std::abs(layout.height));
    const uint32_t palette = layout.bitCount <= 8 ? 4u << layout.bitCount : 0;
    Bytes file = testing_support::BitmapHeaders(layout, palette, size);
    file.resize(file.size() + palette, 0x10);
    for (uint32_t i = 0; i < size; ++i) file.push_back(static_cast<uint8_t>(i * 7 + i / 13));
    return file;
}

// The default 8 x 6 bitmap with one thing changed.
Bytes Sized(int32_t width, int32_t height) {
    BitmapLayout layout = Bitmap();
    layout.width = width;
    layout.height = height;
    return BitmapFile(layout);
}
Bytes WithHeader(uint32_t headerSize, uint16_t bitCount = 24) {
    BitmapLayout layout = Bitmap();
    layout.headerSize = headerSize;
    layout.bitCount = bitCount;
    return BitmapFile(layout);
}
Bytes WithBits(uint16_t bitCount) { return WithHeader(40, bitCount); }
Bytes WithPlanes(uint16_t planes) {
    BitmapLayout layout = Bitmap();
    layout.planes = planes;
    return BitmapFile(layout);
}
Bytes Compressed(uint32_t compression) {
    BitmapLayout layout = Bitmap();
    layout.compression = compression;
    return BitmapFile(layout);
}

// A file whose header claims the given size but holds the pixels of the default 8 x 6 bitmap.
Bytes Claiming(int32_t width, int32_t height) {
    Bytes file = BitmapFile(Bitmap());
    PatchLE32(file, 18, static_cast<uint32_t>(width));
    PatchLE32(file, 22, static_cast<uint32_t>(height));
    return file;
}

Bytes WithPixelOffset(uint32_t offset) {
    Bytes file = BitmapFile(Bitmap());
    PatchLE32(file, 10, offset);
    return file;
}

Bytes WithHeaderSize(uint32_t size) {
    Bytes file = BitmapFile(Bitmap());
    PatchLE32(file, 14, size);
    return file;
}

// ---- offset files

Bytes OffsetFile(int32_t count, int32_t cols, int32_t rows, size_t samples,
                 const char* magic = "FRAME") {
    std::vector<uint16_t> values;
    for (size_t i = 0; i < samples; ++i)
        values.push_back(static_cast<uint16_t>(i * 1000 % 4096 - 2048));
    return testing_support::OffsetFileBytes(count, cols, rows, values, magic);
}

// ---- LUT files

Bytes LutFile(int32_t count, int16_t first, int16_t last, size_t entries,
              const char* magic = "LUTFILE") {
    std::vector<int16_t> values;
    for (size_t i = 0; i < entries; ++i) values.push_back(static_cast<int16_t>(4095 - 16 * i));
    return testing_support::LutFileBytes(count, first, last, values, magic);
}

// ---- the malformed set: each file with the outcome that reading it must have

struct Malformed {
    const char* name;
    Bytes bytes;
    // .bmp: "load N extract M" (the Load result over an image that held a good bitmap, then the
    // ExtractSubPixel result); .frm: "plane unchanged" or "plane WxH"; .lut: "default table" or
    // "table N".
    const char* outcome;
};

std::vector<Malformed> MalformedFiles() {
    const Bytes good = BitmapFile(Bitmap());
    Bytes trailing = good;
    trailing.resize(good.size() + 333, 0xAB);
    Bytes wrongMagic = good;
    wrongMagic[0] = 'M';
    wrongMagic[1] = 'B';
    Bytes compressedHuge = Claiming(0x7FFF, 0x7FFF);
    PatchLE32(compressedHuge, 30, 1);
    const Bytes lut = LutFile(256, 0, 255, 256);
    const Bytes frame = OffsetFile(12, 4, 3, 12);  // the size of the good bitmap's frames
    // clang-format off
    return {
        // Bitmaps that load, as controls.
        {"bmp-good-8x6.bmp",                    good,                          "load 0 extract 0"},
        {"bmp-odd-size-5x3.bmp",                Sized(5, 3),                   "load 0 extract 0"},
        {"bmp-1x1.bmp",                         Sized(1, 1),                   "load 0 extract 0"},
        {"bmp-v5-header.bmp",                   WithHeader(124),               "load 0 extract 0"},
        {"bmp-core-header.bmp",                 WithHeader(12),                "load 0 extract 0"},
        {"bmp-header-size-huge.bmp",            WithHeaderSize(0xFFFFFFFF),    "load 0 extract 0"},
        {"bmp-pixel-offset-inside-header.bmp",  WithPixelOffset(14),           "load 0 extract 0"},
        {"bmp-trailing-bytes.bmp",              trailing,                      "load 0 extract 0"},
        // Not a bitmap, or cut inside the headers.
        {"bmp-empty.bmp",                       {},                            "load 1 extract 0"},
        {"bmp-text.bmp",                        Text("no bitmap at all\n"),    "load 1 extract 0"},
        {"bmp-wrong-magic.bmp",                 wrongMagic,                    "load 1 extract 0"},
        {"bmp-truncated-file-header.bmp",       Cut(good, 10),                 "load 1 extract 0"},
        {"bmp-truncated-header-size.bmp",       Cut(good, 16),                 "load 1 extract 0"},
        {"bmp-truncated-info-header.bmp",       Cut(good, 30),                 "load 1 extract 0"},
        {"bmp-truncated-core-header.bmp",       Cut(WithHeader(12), 22),       "load 1 extract 0"},
        // Sizes that no frame can be made of.
        {"bmp-zero-width.bmp",                  Claiming(0, 6),                "load 4 extract 6"},
        {"bmp-zero-height.bmp",                 Claiming(8, 0),                "load 4 extract 6"},
        {"bmp-negative-width.bmp",              Claiming(-8, 6),               "load 4 extract 6"},
        {"bmp-most-negative-width.bmp",         Claiming(INT32_MIN, 6),        "load 4 extract 6"},
        {"bmp-most-negative-height.bmp",        Claiming(8, INT32_MIN),        "load 4 extract 6"},
        {"bmp-huge-height.bmp",                 Claiming(8, INT32_MAX),        "load 4 extract 6"},
        {"bmp-huge-width.bmp",                  Claiming(INT32_MAX, 6),        "load 4 extract 6"},
        {"bmp-stride-overflow.bmp",             Claiming(0x55555556, 1),       "load 4 extract 6"},
        {"bmp-size-over-2gib.bmp",              Claiming(32768, 32768),        "load 4 extract 6"},
        {"bmp-negative-height.bmp",             Sized(8, -6),                  "load 0 extract 6"},
        // Fewer pixel bytes than the header needs.
        {"bmp-size-under-2gib-truncated.bmp",   Claiming(16384, 43690),        "load 2 extract 5"},
        {"bmp-truncated-pixels.bmp",            Cut(good, good.size() - 10),   "load 2 extract 5"},
        {"bmp-no-pixels.bmp",                   Cut(good, 54),                 "load 2 extract 5"},
        {"bmp-rows-without-padding.bmp",        Cut(Sized(7, 6), 54 + 6 * 21), "load 2 extract 5"},
        {"bmp-pixel-offset-past-end.bmp",       WithPixelOffset(0xFFFFFFF0),   "load 2 extract 5"},
        {"bmp-pixel-offset-at-end.bmp",         WithPixelOffset(198),          "load 2 extract 5"},
        // Not a single-plane 24-bit bitmap.
        {"bmp-32-bit.bmp",                      WithBits(32),                  "load 4 extract 2"},
        {"bmp-16-bit.bmp",                      WithBits(16),                  "load 4 extract 2"},
        {"bmp-8-bit-palette.bmp",               WithBits(8),                   "load 4 extract 2"},
        {"bmp-1-bit.bmp",                       WithBits(1),                   "load 4 extract 2"},
        {"bmp-core-header-8-bit.bmp",           WithHeader(12, 8),             "load 4 extract 2"},
        {"bmp-zero-planes.bmp",                 WithPlanes(0),                 "load 4 extract 1"},
        {"bmp-two-planes.bmp",                  WithPlanes(2),                 "load 4 extract 1"},
        {"bmp-header-size-zero.bmp",            WithHeaderSize(0),             "load 4 extract 1"},
        // Compressed: loaded as bytes, refused by the frame computation.
        {"bmp-compressed-rle.bmp",              Compressed(1),                 "load 0 extract 3"},
        {"bmp-compressed-bitfields.bmp",        Compressed(3),                 "load 0 extract 3"},
        {"bmp-compressed-huge-size.bmp",        compressedHuge,                "load 4 extract 3"},
        {"bmp-compressed-no-pixels.bmp",        Cut(Compressed(1), 54),        "load 2 extract 3"},

        // Offset files.
        {"frm-good-4x3.frm",                    frame,                         "plane 4x3"},
        {"frm-wrong-magic.frm",                 OffsetFile(12, 4, 3, 12, "XXXXX"), "plane 4x3"},
        {"frm-trailing-bytes.frm",              OffsetFile(12, 4, 3, 15),      "plane 4x3"},
        {"frm-zero-samples.frm",                OffsetFile(0, 0, 0, 0),        "plane 0x0"},
        {"frm-zero-width.frm",                  OffsetFile(0, 0, 5, 0),        "plane 0x5"},
        {"frm-empty.frm",                       {},                            "plane unchanged"},
        {"frm-truncated-header.frm",            Cut(frame, 10),                "plane unchanged"},
        {"frm-header-without-height.frm",       Cut(frame, 17),                "plane unchanged"},
        {"frm-negative-count.frm",              OffsetFile(-12, 4, 3, 12),     "plane unchanged"},
        {"frm-negative-width.frm",              OffsetFile(-12, -4, 3, 12),    "plane unchanged"},
        {"frm-negative-width-and-height.frm",   OffsetFile(12, -4, -3, 12),    "plane unchanged"},
        {"frm-count-not-width-x-height.frm",    OffsetFile(11, 4, 3, 12),      "plane unchanged"},
        {"frm-count-product-overflow.frm",      OffsetFile(65536, 65536, 65537, 6), "plane unchanged"},
        {"frm-truncated-samples.frm",           OffsetFile(12, 4, 3, 11),      "plane unchanged"},
        {"frm-huge-count.frm",                  OffsetFile(INT32_MAX, INT32_MAX, 1, 6), "plane unchanged"},
        {"frm-nominal-size-truncated.frm",      OffsetFile(1310720, 1280, 1024, 64), "plane unchanged"},

        // LUT files.
        {"lut-good-256.lut",                    lut,                           "table 256"},
        {"lut-wrong-magic.lut",                 LutFile(256, 0, 255, 256, "NOTALUT"), "table 256"},
        {"lut-trailing-bytes.lut",              LutFile(256, 0, 255, 300),     "table 256"},
        {"lut-negative-first-input.lut",        LutFile(256, -1, 255, 256),    "table 256"},
        {"lut-count-1.lut",                     LutFile(1, 0, 0, 1),           "table 1"},
        {"lut-count-100.lut",                   LutFile(100, 0, 99, 100),      "table 100"},
        {"lut-empty.lut",                       {},                            "default table"},
        {"lut-truncated-header.lut",            Cut(lut, 10),                  "default table"},
        {"lut-header-only.lut",                 LutFile(256, 0, 255, 0),       "default table"},
        {"lut-count-0.lut",                     LutFile(0, 0, 255, 256),       "default table"},
        {"lut-count-negative.lut",              LutFile(-1, 0, 255, 256),      "default table"},
        {"lut-count-most-negative.lut",         LutFile(INT32_MIN, 0, 255, 256), "default table"},
        {"lut-count-257.lut",                   LutFile(257, 0, 256, 257),     "default table"},
        {"lut-count-300.lut",                   LutFile(300, 0, 299, 300),     "default table"},
        {"lut-count-huge.lut",                  LutFile(INT32_MAX, 0, 255, 256), "default table"},
        {"lut-shorter-than-count.lut",          LutFile(256, 0, 255, 255),     "default table"},
    };
    // clang-format on
}

// ---- seeds for the fuzz targets

Bytes Ini(const char* section, const char* key, const char* text) {
    Bytes b = Text(section);
    b.push_back(0);
    Bytes k = Text(key);
    b.insert(b.end(), k.begin(), k.end());
    b.push_back(0);
    Bytes t = Text(text);
    b.insert(b.end(), t.begin(), t.end());
    return b;
}

std::vector<std::pair<std::string, Bytes>> Seeds(const std::string& target) {
    std::vector<std::pair<std::string, Bytes>> seeds;
    const char* extension = target == "bitmap"        ? ".bmp"
                            : target == "offset-file" ? ".frm"
                            : target == "lut-file"    ? ".lut"
                                                      : nullptr;
    if (extension != nullptr) {
        // Every malformed file of the target's kind.
        for (Malformed& m : MalformedFiles())
            if (fs::path(m.name).extension() == extension) seeds.emplace_back(m.name, m.bytes);
    }
    if (target == "bitmap") {
        for (int32_t size : {2, 3, 4, 16})
            seeds.emplace_back("bmp-" + std::to_string(size) + ".bmp", Sized(size, size));
    } else if (target == "offset-file") {
        seeds.emplace_back("frm-1x40.frm", OffsetFile(40, 1, 40, 40));
        seeds.emplace_back("frm-40x1.frm", OffsetFile(40, 40, 1, 40));
        seeds.emplace_back("frm-16x16.frm", OffsetFile(256, 16, 16, 256));
    } else if (target == "lut-file") {
        seeds.emplace_back("lut-count-2.lut", LutFile(2, 3, 1, 2));
        seeds.emplace_back("lut-first-input-5.lut", LutFile(64, 5, 68, 64));
    } else if (target == "calc-lut") {
        // A settings byte (bit 0: a settings file), Gamma, 48 readings, then the old LUT file.
        auto input = [](bool settings, uint16_t gamma, std::function<uint16_t(int)> reading,
                        const Bytes& lut) {
            Bytes b = {static_cast<uint8_t>(settings ? 1 : 0)};
            PutLE16(b, gamma);
            for (int i = 0; i < 48; ++i) PutLE16(b, reading(i));
            b.insert(b.end(), lut.begin(), lut.end());
            return b;
        };
        // A grey scale from the paper (reading 0) to the darkest patch, and others.
        auto scale = [](int i) { return static_cast<uint16_t>(i == 0 ? 5 : 5 + 45 * (48 - i)); };
        auto above900 = [](int i) { return static_cast<uint16_t>(900 + 40 * i); };
        auto flat = [](int) { return uint16_t{300}; };
        auto zero = [](int) { return uint16_t{0}; };
        auto falling = [](int i) { return static_cast<uint16_t>(60000 - 1000 * i); };
        const Bytes table = LutFile(256, 0, 255, 256);
        const Bytes shortTable = LutFile(100, 0, 99, 100);
        seeds.emplace_back("default-gamma.calc", input(false, 0, scale, table));
        seeds.emplace_back("gamma-250.calc", input(true, 250, scale, table));
        seeds.emplace_back("gamma-0.calc", input(true, 0, scale, table));
        seeds.emplace_back("no-old-lut.calc", input(true, 180, scale, {}));
        seeds.emplace_back("short-old-lut.calc", input(true, 180, scale, shortTable));
        seeds.emplace_back("readings-above-900.calc", input(true, 180, above900, table));
        seeds.emplace_back("flat-readings.calc", input(true, 180, flat, table));
        seeds.emplace_back("zero-readings.calc", input(true, 180, zero, table));
        seeds.emplace_back("falling-readings.calc", input(true, 180, falling, table));
    } else if (target == "calc-offset") {
        // Four bytes of settings (colour, factor, threshold, smoothing and old file; 0 = default),
        // then a scan description (DescribedScan): a measurable scan 140 x 120 after the turn,
        // with its dark area, marks and a little texture, and variations of it.
        // clang-format off
        const Bytes upright = {1, 0, 0, 1 | 4,
                               139, 119, 10, 8, 125, 113, 100, 255, 220, 3, 0, 0, 9, 3};
        // clang-format on
        auto with = [&](size_t at, uint8_t value) {
            Bytes b = upright;
            b[at] = value;
            return b;
        };
        seeds.emplace_back("upright.scan", upright);
        seeds.emplace_back("sheared.scan", with(14, 6));
        seeds.emplace_back("no-marks.scan", with(13, 2));
        seeds.emplace_back("all-bytes.scan", with(13, 1));
        seeds.emplace_back("vertical-smoothing-small-old-map.scan", with(3, 2 | 8));
        seeds.emplace_back("no-smoothing-no-old-map.scan", with(3, 0));
        seeds.emplace_back("too-narrow.scan", with(8, 100));
        seeds.emplace_back("no-dark-area.scan", with(10, 255));
        seeds.emplace_back("threshold-0.scan", with(2, 1));
        seeds.emplace_back("factor-negative.scan", with(1, 0xF0));
        seeds.emplace_back("factor-large.scan", with(1, 0x70));
        seeds.emplace_back("colour-3.scan", with(0, 3));
        Bytes raw = {0, 0, 0, 4};
        const Bytes scan = Sized(120, 110);
        raw.insert(raw.end(), scan.begin(), scan.end());
        seeds.emplace_back("raw-bitmap.scan", raw);
    } else if (target == "display-name") {
        // The drawing number (32 bits), then the pattern.
        for (const char* pattern : {"out/shown.bmp", "out/shown-%02d.bmp", "shown-%d-%%.bmp",
                                    "%-+ 099u", "%i%", "%%%%d", "%d%d", "%.3d", "%ld", "%s%n"}) {
            Bytes b;
            PutLE32(b, 1234);
            const Bytes text = Text(pattern);
            b.insert(b.end(), text.begin(), text.end());
            seeds.emplace_back(std::string("pattern-") + std::to_string(seeds.size()), b);
        }
    } else if (target == "host-files") {
        // A byte that chooses (0 a bitmap, 1 readings, 3 readings as densities, 4 a LUT file,
        // 8 an offset file), then the file.
        auto with = [](uint8_t choice, const Bytes& file) {
            Bytes b = {choice};
            b.insert(b.end(), file.begin(), file.end());
            return b;
        };
        std::string hundredths = "# reading 0 is the paper\n";
        std::string densities;
        for (int i = 0; i < 48; ++i) {
            hundredths += std::to_string(5 + 45 * i) + (i % 8 == 7 ? "\n" : ", ");
            densities += std::to_string(i / 10) + "." + std::to_string(i % 10) + "5;";
        }
        seeds.emplace_back("bitmap.host", with(0, Sized(5, 3)));
        seeds.emplace_back("bitmap-top-down.host", with(0, Sized(4, -2)));
        seeds.emplace_back("bitmap-truncated.host", with(0, Cut(Sized(6, 4), 60)));
        seeds.emplace_back("readings.host", with(1, Text(hundredths.c_str())));
        seeds.emplace_back("densities.host", with(3, Text(("\xEF\xBB\xBF" + densities).c_str())));
        seeds.emplace_back("readings-47.host",
                           with(1, Text("1 2 3 4 5 6 7 8 9 10 11 12 13 14 15 16 "
                                        "17 18 19 20 21 22 23 24 25 26 27 28 29 "
                                        "30 31 32 33 34 35 36 37 38 39 40 41 42 "
                                        "43 44 45 46 47\r\n")));
        seeds.emplace_back("readings-bad.host", with(1, Text("1.5\n-3\n70000\nx\n")));
        seeds.emplace_back("lut.host", with(4, LutFile(256, 0, 255, 256)));
        seeds.emplace_back("lut-unnamed-300.host", with(4, LutFile(300, 0, 299, 300, "TABLES!")));
        seeds.emplace_back("offset.host", with(8, OffsetFile(12, 4, 3, 12)));
        seeds.emplace_back("offset-empty.host", with(8, OffsetFile(0, 0, 7, 0, "EMPTY")));
    } else if (target == "settings") {
        seeds.emplace_back("plain.ini", Text("[Imaging]\nGamma=210\nUnsharpenOffset=2\n"));
        seeds.emplace_back("crlf.ini", Text("; settings\r\n[imaging]\r\n  gamma = 0x1F \r\n"));
        seeds.emplace_back("prefixes.ini", Ini("Imaging", "UnsharpenOffset",
                                               "[Imaging]\nUnsharpenOffset=0b101\nGamma=0o17\n"));
        seeds.emplace_back("negative.ini", Ini("Imaging", "Gamma",
                                               "[Other]\nGamma=1\n[ Imaging ]\nGamma=-42xyz\n"));
        seeds.emplace_back("empty-value.ini", Ini("Imaging", "Gamma", "[Imaging]\nGamma=\n"));
        seeds.emplace_back("overflow.ini", Ini("S", "K", "[S]\nK=99999999999999999999\n"));
        seeds.emplace_back("unclosed.ini", Ini("S", "K", "[S\nK=1\n[S]\n=2\nK\n"));
    }
    return seeds;
}

const char* const kSeedTargets[] = {"bitmap",       "offset-file", "lut-file",    "settings",
                                    "display-name", "calc-lut",    "calc-offset", "host-files"};

bool WriteFile(const fs::path& path, const Bytes& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file.write(reinterpret_cast<const char*>(bytes.data()),
               static_cast<std::streamsize>(bytes.size()));
    return static_cast<bool>(file);
}

// The expectations table: a name and its outcome per line, aligned for reading.
Bytes ExpectedTable() {
    std::string text =
        "# What reading each file must give (written by kavrel-make-test-files, do not edit).\n"
        "# .bmp: load N = the Load / SetImageFile result for an image that held a good bitmap,\n"
        "#       extract M = the ExtractSubPixel result on it afterwards (the frame keeps its old\n"
        "#       samples unless M is 0).\n"
        "# .frm: plane WxH = the file's plane was taken; plane unchanged = the old plane stayed.\n"
        "# .lut: table N = the file's N entries were taken; default table = 4095 down to 0.\n";
    for (const Malformed& m : MalformedFiles()) {
        std::string line = m.name;
        line.resize(std::max<size_t>(line.size() + 1, 40), ' ');
        text += line + m.outcome + "\n";
    }
    return Text(text.c_str());
}

int WriteMalformed(const fs::path& dir) {
    fs::create_directories(dir);
    for (const Malformed& m : MalformedFiles())
        if (!WriteFile(dir / m.name, m.bytes)) return 1;
    return WriteFile(dir / "expected.txt", ExpectedTable()) ? 0 : 1;
}

int CheckMalformed(const fs::path& dir) {
    int differences = 0;
    size_t expectedFiles = 1;
    auto check = [&](const std::string& name, const Bytes& bytes) {
        if (!fs::exists(dir / name) || testing_support::ReadBytes((dir / name).string()) != bytes) {
            std::printf("%s differs from what the generator writes\n", name.c_str());
            ++differences;
        }
    };
    for (const Malformed& m : MalformedFiles()) {
        check(m.name, m.bytes);
        ++expectedFiles;
    }
    check("expected.txt", ExpectedTable());
    const auto present = std::distance(fs::directory_iterator(dir), fs::directory_iterator());
    if (static_cast<size_t>(present) != expectedFiles) {
        std::printf("%s holds %zu files, the generator writes %zu\n", dir.string().c_str(),
                    static_cast<size_t>(present), expectedFiles);
        ++differences;
    }
    if (differences == 0) std::printf("%zu files as generated\n", expectedFiles);
    return differences == 0 ? 0 : 1;
}

int WriteSeeds(const fs::path& dir) {
    for (const char* target : kSeedTargets) {
        fs::create_directories(dir / target);
        for (const auto& [name, bytes] : Seeds(target))
            if (!WriteFile(dir / target / name, bytes)) return 1;
    }
    return 0;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc == 3 ? argv[1] : "";
    if (mode == "malformed") return WriteMalformed(argv[2]);
    if (mode == "check-malformed") return CheckMalformed(argv[2]);
    if (mode == "seeds") return WriteSeeds(argv[2]);
    std::fprintf(stderr, "usage: %s malformed|check-malformed|seeds DIR\n", argv[0]);
    return 2;
}
