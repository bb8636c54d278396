#include "PrintSimulation.h"

#include <algorithm>
#include <cmath>

#include "Targets.h"

namespace simulation {

namespace {

// The paper around the display's picture that the print takes in, in display pixels.
constexpr int kPad = 4;
constexpr int kPrintWidth = kWidth + 2 * kPad;
constexpr int kPrintHeight = kHeight + 2 * kPad;

// A print at display resolution, with unexposed paper around the picture: scan bytes per display
// pixel, blurred a little as the paper and the optics blur the light.
std::vector<double> Print(const CExposure& exposure, const CScanSettings& settings) {
    std::vector<double> light(static_cast<size_t>(kPrintWidth) * kPrintHeight, 0.0);
    for (int line = 0; line < kHeight; ++line)
        for (int column = 0; column < kWidth; ++column) {
            const double gain = settings.uneven ? DisplayGain(column, line) : 1.0;
            light[(line + kPad) * kPrintWidth + column + kPad] =
                gain * exposure[line * kWidth + column];
        }
    // Blur with (1 2 1) / 4 across and down.
    std::vector<double> across(light.size(), 0.0);
    for (int y = 0; y < kPrintHeight; ++y)
        for (int x = 1; x < kPrintWidth - 1; ++x)
            across[y * kPrintWidth + x] = 0.25 * light[y * kPrintWidth + x - 1] +
                                          0.5 * light[y * kPrintWidth + x] +
                                          0.25 * light[y * kPrintWidth + x + 1];
    std::vector<double> print(light.size(), settings.paperWhite);
    for (int y = 1; y < kPrintHeight - 1; ++y)
        for (int x = 0; x < kPrintWidth; ++x) {
            const double blurred = 0.25 * across[(y - 1) * kPrintWidth + x] +
                                   0.5 * across[y * kPrintWidth + x] +
                                   0.25 * across[(y + 1) * kPrintWidth + x];
            print[y * kPrintWidth + x] = settings.paperWhite - settings.darkening * blurred;
        }
    return print;
}

}  // namespace

CExposure UnpackDisplayPicture(const host::CPicture& picture) {
    CExposure exposure(static_cast<size_t>(kWidth) * kHeight, 0);
    for (int line = 0; line < std::min(kHeight, picture.Height()); ++line)
        for (int column = 0; column < std::min(kWidth, picture.Width()); ++column) {
            const uint8_t* p = picture.Pixel(column, line);
            exposure[line * kWidth + column] = ((p[1] & 0xF0) << 4) | (p[0] & 0xF0) | (p[2] >> 4);
        }
    return exposure;
}

CExposure IdealExposure(const host::CPicture& image, const std::vector<int>& offsetByPixel) {
    CExposure exposure(static_cast<size_t>(kWidth) * kHeight, 0);
    for (int line = 0; line < kHeight; ++line)
        for (int column = 0; column < kWidth; ++column) {
            const int value = image.Pixel(2 * column, 2 * line)[1];
            int level = (255 - value) * 4095 / 255;
            if (!offsetByPixel.empty()) level += offsetByPixel[line * kWidth + column];
            exposure[line * kWidth + column] = std::clamp(level, 0, 4095);
        }
    return exposure;
}

double DisplayGain(int column, int line) {
    const double x = column / double(kWidth - 1) - 0.5, y = line / double(kHeight - 1) - 0.5;
    const double dx = column - 900.0, dy = line - 300.0;
    return 1 + 0.06 * x - 0.04 * y + 0.05 * std::exp(-(dx * dx + dy * dy) / (2 * 160.0 * 160.0));
}

std::vector<CPlacement> AllPlacements() {
    std::vector<CPlacement> placements;
    for (bool mirrored : {false, true})
        for (int turns = 0; turns < 4; ++turns) placements.push_back({turns, mirrored});
    return placements;
}

host::CPicture ExposeAndScan(const CExposure& exposure, CPlacement placement,
                             const CScanSettings& settings) {
    const std::vector<double> print = Print(exposure, settings);
    const bool sideways = placement.quarterTurns % 2 != 0;
    const double fieldW = (sideways ? kHeight : kWidth) * settings.scale;
    const double fieldH = (sideways ? kWidth : kHeight) * settings.scale;
    const int width = static_cast<int>(std::ceil(fieldW)) + 2 * settings.margin;
    const int height = static_cast<int>(std::ceil(fieldH)) + 2 * settings.margin;
    host::CPicture scan(width, height);
    const double angle = settings.degrees * 3.14159265358979 / 180;
    const double cosA = std::cos(angle), sinA = std::sin(angle);
    const double cx = settings.margin + fieldW / 2, cy = settings.margin + fieldH / 2;
    uint32_t random = 12345;
    constexpr int kSub = 3;  // samples per scan pixel across and down
    for (int v = 0; v < height; ++v) {
        for (int u = 0; u < width; ++u) {
            double sum = 0;
            for (int sv = 0; sv < kSub; ++sv)
                for (int su = 0; su < kSub; ++su) {
                    // Undo the crooked placement, then the scale, then the turns and the mirror.
                    const double px = u + (su + 0.5) / kSub - cx, py = v + (sv + 0.5) / kSub - cy;
                    double x = (cosA * px + sinA * py + fieldW / 2) / settings.scale;
                    double y = (-sinA * px + cosA * py + fieldH / 2) / settings.scale;
                    double w = sideways ? kHeight : kWidth, h = sideways ? kWidth : kHeight;
                    for (int turn = 0; turn < placement.quarterTurns; ++turn) {
                        // A clockwise quarter turn took (a, b) of a w' x h' picture to
                        // (h' - b, a); back: a = y, b = h' - x, with h' = w.
                        const double a = y, b = w - x;
                        x = a;
                        y = b;
                        std::swap(w, h);
                    }
                    if (placement.mirrored) x = w - x;
                    double value = settings.paperWhite;
                    const double xp = x + kPad, yp = y + kPad;
                    if (xp >= 0 && yp >= 0 && xp < kPrintWidth && yp < kPrintHeight)
                        value = print[static_cast<int>(yp) * kPrintWidth + static_cast<int>(xp)];
                    sum += value;
                }
            random = random * 1664525u + 1013904223u;
            const double noise = ((random >> 8) / double(1u << 24) * 2 - 1) * settings.noise;
            const double byte = std::clamp(sum / (kSub * kSub) + noise, 0.0, 255.0);
            scan.SetGrey(u, v, static_cast<uint8_t>(std::lround(byte)));
        }
    }
    return scan;
}

double Unevenness(const CExposure& exposure, bool uneven) {
    // Display pixels of the marks and the notch.
    std::vector<bool> skip(static_cast<size_t>(kWidth) * kHeight, false);
    for (int i = 0; i < host::kGridColumns; ++i)
        for (int j = 0; j < host::kGridRows; ++j)
            for (int dy = -2; dy <= 2; ++dy)
                for (int dx = -2; dx <= 2; ++dx)
                    skip[(host::GridLine(j) + dy) * kWidth + host::GridColumn(i) + dx] = true;
    double sum = 0, squares = 0;
    long count = 0;
    for (int line = 4; line < kHeight - 4; ++line)
        for (int column = 4; column < kWidth - 4; ++column) {
            if (skip[line * kWidth + column]) continue;
            const double light =
                (uneven ? DisplayGain(column, line) : 1.0) * exposure[line * kWidth + column];
            sum += light;
            squares += light * light;
            ++count;
        }
    const double mean = sum / count;
    return std::sqrt(std::max(squares / count - mean * mean, 0.0)) / mean;
}

}  // namespace simulation
