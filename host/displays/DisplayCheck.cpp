#include "displays/DisplayCheck.h"

#include <algorithm>
#include <cstdio>

#include "pictures/Targets.h"

namespace host {

namespace {

const char* const kByteNames[3] = {"blue", "green", "red"};
// Which four bits of a 12-bit level the high half of each byte carries.
const int kSampleShift[3] = {4, 8, 0};

void Pack(int level, uint8_t* bgr) {
    bgr[0] = static_cast<uint8_t>(level & 0xF0);
    bgr[1] = static_cast<uint8_t>((level >> 4) & 0xF0);
    bgr[2] = static_cast<uint8_t>((level & 0x0F) << 4);
}

// Every level 0..4095 once in each run of 4096 samples: in order, or scattered so that
// neighbouring samples differ in many bits.
std::vector<int16_t> Levels(bool scattered) {
    std::vector<int16_t> levels(static_cast<size_t>(kDisplayWidth) * kDisplayHeight);
    for (size_t i = 0; i < levels.size(); ++i)
        levels[i] = static_cast<int16_t>((scattered ? i * 2731 : i) & 0xFFF);
    return levels;
}

std::string Count(int64_t n) { return std::to_string(n); }

bool OnlyBits(const CComparison& c, uint8_t allowed) {
    for (int b = 0; b < 3; ++b)
        for (int bit = 0; bit < 8; ++bit)
            if (c.changedBits[b][bit] != 0 && (allowed & (1u << bit)) == 0) return false;
    return true;
}

}  // namespace

std::string ModeProblem(const CScreenMode& mode) {
    if (mode.depth != 24 && mode.depth != 32)
        return std::to_string(mode.depth) +
               "-bit colour: the display cannot show the 24-bit packed values unchanged; set it "
               "to 24-bit (true) colour";
    if (!mode.eightBitColours)
        return "the colours are not 8 bits each: the packed values would reach the panel changed";
    if (mode.width < kDisplayWidth || mode.height < kDisplayHeight)
        return "the display is " + std::to_string(mode.width) + " x " +
               std::to_string(mode.height) + " pixels, smaller than the 1280 x 1024 picture";
    return std::string();
}

std::string ModeText(const CScreenMode& mode) {
    char text[160];
    std::snprintf(text, sizeof text, "%d x %d at (%d, %d), %d-bit colour, ", mode.width,
                  mode.height, mode.x, mode.y, mode.depth);
    std::string result = text;
    if (mode.refresh > 0) {
        std::snprintf(text, sizeof text, "%.2f Hz", mode.refresh);
        result += text;
    } else {
        result += "refresh rate unknown";
    }
    return result;
}

std::vector<CTestFrame> TestFrames() {
    std::vector<CTestFrame> frames;
    const std::vector<int16_t> ordered = Levels(false), scattered = Levels(true);
    frames.push_back(CTestFrame{"all 4096 levels in order", false, 0, ordered, 0, 0});
    frames.push_back(CTestFrame{"all 4096 levels scattered", false, 0, scattered, 0, 0});
    frames.push_back(CTestFrame{"delay line on", false, 0, scattered, 1, 0});
    frames.push_back(CTestFrame{"delay line on, shifted", false, 0, scattered, 1, 1});
    const struct {
        const char* what;
        int level;
    } blanks[] = {{"uniform level 0", 0},
                  {"uniform level 4095 (every bit on)", 4095},
                  {"uniform level 0x00F (lowest nibble, red)", 0x00F},
                  {"uniform level 0x0F0 (middle nibble, blue)", 0x0F0},
                  {"uniform level 0xF00 (highest nibble, green)", 0xF00}};
    for (const auto& b : blanks) frames.push_back(CTestFrame{b.what, true, b.level, {}, 0, 0});
    return frames;
}

std::vector<uint8_t> ExpectedPicture(const CTestFrame& frame) {
    const int width = kDisplayWidth, height = kDisplayHeight;
    std::vector<uint8_t> picture(3 * static_cast<size_t>(width) * height, 0);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            uint8_t* p = &picture[3 * (static_cast<size_t>(y) * width + x)];
            if (frame.blank) {
                Pack(frame.level, p);
                continue;
            }
            // Frame row r is display line height - 1 - r; delayed columns show the next row,
            // and nothing (black) on the top line.
            const bool delayed = frame.delayLine != 0 && (x % 2 == 1) != (frame.delayShift != 0);
            const int row = height - 1 - y + (delayed ? 1 : 0);
            if (row < height) Pack(frame.levels[static_cast<size_t>(row) * width + x] & 0xFFF, p);
        }
    return picture;
}

CComparison Compare(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& shown,
                    int width, int height) {
    CComparison c;
    c.width = width;
    c.height = height;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const size_t at = 3 * (static_cast<size_t>(y) * width + x);
            bool differs = false;
            for (int b = 0; b < 3; ++b) {
                const uint8_t changed = expected[at + b] ^ shown[at + b];
                if (changed == 0) continue;
                differs = true;
                for (int bit = 0; bit < 8; ++bit)
                    if (changed & (1u << bit)) ++c.changedBits[b][bit];
            }
            if (!differs) continue;
            if (c.differing++ == 0) {
                c.firstX = c.left = c.right = x;
                c.firstY = c.top = c.bottom = y;
                for (int b = 0; b < 3; ++b) {
                    c.expected[b] = expected[at + b];
                    c.shown[b] = shown[at + b];
                }
            }
            c.left = std::min(c.left, x);
            c.right = std::max(c.right, x);
            c.bottom = y;
        }
    return c;
}

std::vector<std::string> DescribeDifference(const CComparison& c) {
    std::vector<std::string> lines;
    if (c.differing == 0) return lines;
    const int64_t pixels = static_cast<int64_t>(c.width) * c.height;
    char text[200];
    std::snprintf(text, sizeof text,
                  "%lld of %lld pixels differ, within x %d..%d, y %d..%d; the first at (%d, %d): "
                  "blue/green/red %02X %02X %02X instead of %02X %02X %02X",
                  static_cast<long long>(c.differing), static_cast<long long>(pixels), c.left,
                  c.right, c.top, c.bottom, c.firstX, c.firstY, c.shown[0], c.shown[1],
                  c.shown[2], c.expected[0], c.expected[1], c.expected[2]);
    lines.push_back(text);
    for (int b = 0; b < 3; ++b) {
        std::string bits;
        for (int bit = 7; bit >= 0; --bit) {
            if (c.changedBits[b][bit] == 0) continue;
            bits += (bits.empty() ? "" : ", ") + std::string("bit ") + std::to_string(bit);
            if (bit >= 4)
                bits += " (level bit " + std::to_string(bit - 4 + kSampleShift[b]) + ")";
            bits += " in " + Count(c.changedBits[b][bit]) + " pixels";
        }
        if (!bits.empty()) lines.push_back(std::string(kByteNames[b]) + " changes: " + bits);
    }
    if (OnlyBits(c, 0x10))
        lines.push_back("the lowest bit of every nibble changes: dithering?");
    else if (OnlyBits(c, 0x0F))
        lines.push_back("only the low halves of the bytes, which the packing leaves 0, change: "
                        "a colour profile, a gamma ramp or the graphics driver's colour settings?");
    else if (c.differing > pixels * 9 / 10)
        lines.push_back("nearly the whole picture differs: a scaled desktop, another mode, or "
                        "something covering the display?");
    else
        lines.push_back("the packed values change: a colour profile, a gamma ramp or the "
                        "graphics driver's colour settings?");
    return lines;
}

}  // namespace host
