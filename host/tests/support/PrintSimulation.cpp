#include "PrintSimulation.h"

#include <algorithm>
#include <cmath>

#include "pictures/Targets.h"

namespace simulation {

namespace {

// The paper around the display's picture that the print takes in, in display pixels.
constexpr int kPad = 4;
constexpr int kPrintWidth = kWidth + 2 * kPad;
constexpr int kPrintHeight = kHeight + 2 * kPad;

// A print at display resolution, with unexposed paper around the picture: scan bytes per display
// pixel, blurred as the paper and the optics spread the light to the neighbouring pixels.
std::vector<double> Print(const CExposure& exposure, const CScanSettings& settings) {
    std::vector<double> light(static_cast<size_t>(kPrintWidth) * kPrintHeight, 0.0);
    for (int line = 0; line < kHeight; ++line)
        for (int column = 0; column < kWidth; ++column) {
            const double gain = settings.uneven ? DisplayGain(column, line) : 1.0;
            light[(line + kPad) * kPrintWidth + column + kPad] =
                gain * exposure[line * kWidth + column];
        }
    // Blur across and down: with (s, 1 - 2s, s), or with a Gaussian kernel.
    std::vector<double> kernel{settings.paperSpread, 1 - 2 * settings.paperSpread,
                               settings.paperSpread};
    if (settings.paperSigma > 0) {
        const int reach = static_cast<int>(std::ceil(3 * settings.paperSigma));
        kernel.assign(2 * reach + 1, 0.0);
        double sum = 0;
        for (int k = -reach; k <= reach; ++k)
            sum += kernel[k + reach] =
                std::exp(-k * k / (2 * settings.paperSigma * settings.paperSigma));
        for (double& w : kernel) w /= sum;
    }
    const int reach = static_cast<int>(kernel.size() / 2);
    std::vector<double> across(light.size(), 0.0);
    for (int y = 0; y < kPrintHeight; ++y)
        for (int x = reach; x < kPrintWidth - reach; ++x) {
            double sum = 0;
            for (int k = -reach; k <= reach; ++k)
                sum += kernel[k + reach] * light[y * kPrintWidth + x + k];
            across[y * kPrintWidth + x] = sum;
        }
    std::vector<double> print(light.size(), settings.paperWhite);
    for (int y = reach; y < kPrintHeight - reach; ++y)
        for (int x = 0; x < kPrintWidth; ++x) {
            double blurred = 0;
            for (int k = -reach; k <= reach; ++k)
                blurred += kernel[k + reach] * across[(y + k) * kPrintWidth + x];
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

namespace {

// The geometry of a scan: where each point of it lies on the print.
class CScanGeometry {
public:
    CScanGeometry(CPlacement placement, const CScanSettings& settings)
        : m_Placement(placement), m_Settings(settings) {
        const bool sideways = placement.quarterTurns % 2 != 0;
        m_FieldW = (sideways ? kHeight : kWidth) * settings.scale;
        m_FieldH = (sideways ? kWidth : kHeight) * settings.scale;
        const double angle = settings.degrees * 3.14159265358979 / 180;
        m_Cos = std::cos(angle);
        m_Sin = std::sin(angle);
        m_CenterX = settings.margin + m_FieldW / 2;
        m_CenterY = settings.margin + m_FieldH / 2;
    }
    virtual ~CScanGeometry() = default;

    int Width() const { return static_cast<int>(std::ceil(m_FieldW)) + 2 * m_Settings.margin; }
    int Height() const { return static_cast<int>(std::ceil(m_FieldH)) + 2 * m_Settings.margin; }
    // A straight print: the print's column of a scan point depends on one scan coordinate only,
    // and so does its line.
    bool Straight() const { return m_Sin == 0.0; }

    // Sub-sample s (0 .. kSub - 1) of scan column or row p, from the field's centre.
    double FromCenterX(int u, int su) const { return u + (su + 0.5) / kSub - m_CenterX; }
    double FromCenterY(int v, int sv) const { return v + (sv + 0.5) / kSub - m_CenterY; }

    // The print's sample at scan point (px, py) from the field's centre: its column x and line y
    // (with the paper around the picture), each -1 off the print.
    void PrintSample(double px, double py, int& x, int& y) const {
        // Undo the crooked placement, then the scale, then the turns and the mirror.
        double fx = (m_Cos * px + m_Sin * py + m_FieldW / 2) / m_Settings.scale;
        double fy = (-m_Sin * px + m_Cos * py + m_FieldH / 2) / m_Settings.scale;
        const bool sideways = m_Placement.quarterTurns % 2 != 0;
        double w = sideways ? kHeight : kWidth, h = sideways ? kWidth : kHeight;
        for (int turn = 0; turn < m_Placement.quarterTurns; ++turn) {
            // A clockwise quarter turn took (a, b) of a w' x h' picture to (h' - b, a); back:
            // a = y, b = h' - x, with h' = w.
            const double a = fy, b = w - fx;
            fx = a;
            fy = b;
            std::swap(w, h);
        }
        if (m_Placement.mirrored) fx = w - fx;
        const double xp = fx + kPad, yp = fy + kPad;
        x = xp >= 0 && xp < kPrintWidth ? static_cast<int>(xp) : -1;
        y = yp >= 0 && yp < kPrintHeight ? static_cast<int>(yp) : -1;
    }

    // The turns send the scan's columns to the print's lines (an odd number of quarter turns)
    // or to its columns.
    bool ColumnsGoToLines() const {
        return m_Placement.quarterTurns > 0 && m_Placement.quarterTurns % 2 != 0;
    }

    static constexpr int kSub = 3;  // samples per scan pixel across and down

private:
    CPlacement m_Placement;
    CScanSettings m_Settings;
    double m_FieldW, m_FieldH, m_Cos, m_Sin, m_CenterX, m_CenterY;
};

}  // namespace

host::CPicture ExposeAndScan(const CExposure& exposure, CPlacement placement,
                             const CScanSettings& settings) {
    const std::vector<double> print = Print(exposure, settings);
    const CScanGeometry geometry(placement, settings);
    constexpr int kSub = CScanGeometry::kSub;
    const int width = geometry.Width(), height = geometry.Height();
    host::CPicture scan(width, height);

    // A straight print's samples are found once for every scan column and row (each sub-sample
    // of a column meets the same print column or line whatever the row, and the arithmetic is
    // the same as the point by point search's), which the search of every point would repeat
    // millions of times.
    std::vector<int> byColumn, byRow;
    if (geometry.Straight()) {
        byColumn.resize(static_cast<size_t>(width) * kSub);
        byRow.resize(static_cast<size_t>(height) * kSub);
        int x = 0, y = 0;
        for (int u = 0; u < width; ++u)
            for (int su = 0; su < kSub; ++su) {
                geometry.PrintSample(geometry.FromCenterX(u, su), 0.0, x, y);
                byColumn[u * kSub + su] = geometry.ColumnsGoToLines() ? y : x;
            }
        for (int v = 0; v < height; ++v)
            for (int sv = 0; sv < kSub; ++sv) {
                geometry.PrintSample(0.0, geometry.FromCenterY(v, sv), x, y);
                byRow[v * kSub + sv] = geometry.ColumnsGoToLines() ? x : y;
            }
    }
    uint32_t random = settings.seed;
    for (int v = 0; v < height; ++v) {
        for (int u = 0; u < width; ++u) {
            double sum = 0;
            for (int sv = 0; sv < kSub; ++sv)
                for (int su = 0; su < kSub; ++su) {
                    int x = -1, y = -1;
                    if (geometry.Straight()) {
                        const int fromColumn = byColumn[u * kSub + su], fromRow = byRow[v * kSub + sv];
                        x = geometry.ColumnsGoToLines() ? fromRow : fromColumn;
                        y = geometry.ColumnsGoToLines() ? fromColumn : fromRow;
                    } else {
                        geometry.PrintSample(geometry.FromCenterX(u, su), geometry.FromCenterY(v, sv),
                                             x, y);
                    }
                    sum += x >= 0 && y >= 0 ? print[y * kPrintWidth + x] : settings.paperWhite;
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

namespace {

enum class EPixel { Field, NextToMark, Strip, Left };

// What each display pixel is to the evenness figures: between the outermost marks a pixel of the
// field or one of the eight around a mark, outside them a pixel of the strips along the edges;
// the marks themselves and the notch are left out.
std::vector<EPixel> PixelKinds() {
    std::vector<EPixel> kinds(static_cast<size_t>(kWidth) * kHeight, EPixel::Strip);
    for (int line = host::GridLine(host::kGridRows - 1); line <= host::GridLine(0); ++line)
        for (int column = host::GridColumn(0); column <= host::GridColumn(host::kGridColumns - 1);
             ++column)
            kinds[line * kWidth + column] = EPixel::Field;
    for (int i = 0; i < host::kGridColumns; ++i)
        for (int j = 0; j < host::kGridRows; ++j)
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    kinds[(host::GridLine(j) + dy) * kWidth + host::GridColumn(i) + dx] =
                        dx == 0 && dy == 0 ? EPixel::Left : EPixel::NextToMark;
    for (int column = host::kNotchFirstColumn;
         column < host::kNotchFirstColumn + host::kNotchColumns; ++column)
        for (int line = 0; line < host::kNotchLines; ++line)
            kinds[line * kWidth + column] = EPixel::Left;
    return kinds;
}

}  // namespace

CEvenness Evenness(const CExposure& exposure) {
    const std::vector<EPixel> kinds = PixelKinds();
    std::vector<double> light(exposure.size());
    double sum = 0;
    long count = 0;
    for (int line = 0; line < kHeight; ++line)
        for (int column = 0; column < kWidth; ++column) {
            const size_t at = static_cast<size_t>(line) * kWidth + column;
            light[at] = DisplayGain(column, line) * exposure[at];
            if (kinds[at] == EPixel::Left) continue;
            sum += light[at];
            ++count;
        }
    const double mean = sum / count;
    CEvenness evenness;
    double fieldSum = 0, fieldSquares = 0;
    long fieldCount = 0;
    for (size_t at = 0; at < light.size(); ++at) {
        const double deviation = std::abs(light[at] / mean - 1);
        switch (kinds[at]) {
            case EPixel::Left:
                continue;
            case EPixel::Strip:
                evenness.worstInStrips = std::max(evenness.worstInStrips, deviation);
                continue;
            case EPixel::NextToMark:
                evenness.worstNextToMark = std::max(evenness.worstNextToMark, deviation);
                [[fallthrough]];
            case EPixel::Field:
                if (kinds[at] == EPixel::Field) {
                    fieldSum += light[at];
                    fieldSquares += light[at] * light[at];
                    ++fieldCount;
                }
                evenness.beyondOnePercent += deviation > 0.01;
                evenness.beyondTwoPercent += deviation > 0.02;
                evenness.worst = std::max(evenness.worst, deviation);
        }
    }
    if (fieldCount > 0) {
        const double fieldMean = fieldSum / fieldCount;
        evenness.fieldCv =
            std::sqrt(std::max(fieldSquares / fieldCount - fieldMean * fieldMean, 0.0)) / fieldMean;
    }
    return evenness;
}

CExposure WithoutMarks(CExposure exposure, const std::vector<CGridPoint>& missing) {
    for (const CGridPoint& point : missing) {
        const size_t at =
            static_cast<size_t>(host::GridLine(point.j)) * kWidth + host::GridColumn(point.i);
        exposure[at] = exposure[at + 1];
    }
    return exposure;
}

}  // namespace simulation
