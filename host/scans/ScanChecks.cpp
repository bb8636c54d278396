#include "scans/ScanChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "common/Errors.h"
#include "pictures/Targets.h"
#include "scans/ScanLevels.h"

namespace host {

namespace {

// Scan pixels per display pixel: below kSteadyScale repeated calibrations drift (the cells'
// blocks get too few samples to measure the marks' neighbours); below kCoarseScale the offset
// calculation refuses the scan.
constexpr double kSteadyScale = 1.5;
constexpr double kCoarseScale = 1.1;

// Search radii of the offset calculation, in scan pixels: the first grid point of a cell and the
// next one.
constexpr int kSearchRadii[] = {20, 15};
// A peak is a mark only when it stands this many standard deviations, and this many levels,
// above the rest of its window.
constexpr double kMarkDeviations = 6;
constexpr int kMarkLevels = 8;

// A dark run this long on the scan's outermost line is the field, not a speck of dust.
constexpr int kEdgeRun = 3;

// The scan's samples of one colour on the calculation's scale; 0 outside the scan.
class CScanSamples {
public:
    CScanSamples(const CPicture& scan, const CScanCheckOptions& options)
        : m_Scan(scan), m_nColour(options.colour), m_Dark(options.threshold, options.factor) {}
    virtual ~CScanSamples() = default;

    int Width() const { return m_Scan.Width(); }
    int Height() const { return m_Scan.Height(); }
    int Level(int u, int v) const {
        if (u < 0 || v < 0 || u >= Width() || v >= Height()) return 0;
        return m_Dark.Level(m_Scan.Pixel(u, v)[m_nColour]);
    }
    bool IsDark(int u, int v) const { return m_Dark.IsDark(m_Scan.Pixel(u, v)[m_nColour]); }

    // The first and last exposed sample of scan row v (row true) or scan column u; false when
    // the line has none.
    bool Edges(bool row, int index, int& first, int& last) const {
        const int n = row ? Width() : Height();
        if (index < 0 || index >= (row ? Height() : Width())) return false;
        auto dark = [&](int i) { return row ? IsDark(i, index) : IsDark(index, i); };
        first = 0;
        while (first < n && !dark(first)) ++first;
        if (first == n) return false;
        last = n - 1;
        while (last > first && !dark(last)) --last;
        return true;
    }

private:
    const CPicture& m_Scan;
    int m_nColour;
    CDarkness m_Dark;
};

// Where offset-map sample (x, y) lies in the scan, predicted from the field's edges on the scan
// row and column through it, so that a slightly crooked print is followed as the calculation
// follows it after straightening the scan.
void PredictPlace(const CScanSamples& samples, const CScanField& field, int x, int y, int& u,
                  int& v) {
    u = field.left + (field.right - field.left) * y / kDisplayHeight;
    v = field.top + (field.bottom - field.top) * x / kDisplayWidth;
    for (int round = 0; round < 2; ++round) {
        int first = 0, last = 0;
        if (samples.Edges(true, v, first, last)) u = first + (last - first) * y / kDisplayHeight;
        if (samples.Edges(false, u, first, last)) v = first + (last - first) * x / kDisplayWidth;
    }
}

// Whether the brightest sample of the window of scan columns u - r .. u + r - 1 and rows
// v - r .. v + r - 1 is a mark. The window is read in the calculation's order (its rows are
// scan columns), so that of equal samples the same one is the peak.
bool IsMarkFound(const CScanSamples& samples, int u, int v, int r) {
    int best = 0, pu = 0, pv = 0;
    for (int a = u - r; a < u + r; ++a)
        for (int b = v - r; b < v + r; ++b)
            if (samples.Level(a, b) > best) {
                best = samples.Level(a, b);
                pu = a;
                pv = b;
            }
    if (best <= 0) return false;
    if (pu == u - r || pu == u + r - 1 || pv == v - r || pv == v + r - 1) return false;
    const int near = r / 4;
    double sum = 0, squares = 0;
    int count = 0;
    for (int a = u - r; a < u + r; ++a)
        for (int b = v - r; b < v + r; ++b) {
            if (std::abs(a - pu) <= near && std::abs(b - pv) <= near) continue;
            const double level = samples.Level(a, b);
            sum += level;
            squares += level * level;
            ++count;
        }
    const double mean = sum / count;
    const double deviation = std::sqrt(std::max(squares / count - mean * mean, 0.0));
    return best - mean >= kMarkDeviations * deviation && best - mean >= kMarkLevels;
}

std::string Pixels(int across, int down) {
    return std::to_string(across) + " x " + std::to_string(down);
}

// The field's size, in scan pixels, that a scale asks for.
int Needed(double scale, int displayPixels) {
    return static_cast<int>(std::ceil(scale * displayPixels - 1e-9));
}

}  // namespace

double CScanField::Across() const { return double(right - left) / kDisplayHeight; }
double CScanField::Down() const { return double(bottom - top) / kDisplayWidth; }

CScanField MeasureScanField(const CPicture& scan, const CScanCheckOptions& options) {
    const CScanSamples samples(scan, options);
    CScanField field;
    field.found = samples.Edges(true, scan.Height() / 2, field.left, field.right) &&
                  samples.Edges(false, scan.Width() / 2, field.top, field.bottom) &&
                  field.right - field.left >= 100 && field.bottom - field.top >= 100;
    return field;
}

void RequireBottomUpScan(const std::string& path) {
    if (ReadBitmapSize(path).height < 0)
        throw CHostError(path +
                         ": a bitmap with top-down rows, which the offset calculation does not "
                         "read; save the scan as an ordinary (bottom-up) bitmap");
}

std::string FieldEdgeProblem(const CPicture& scan, const CScanCheckOptions& options) {
    const CScanSamples samples(scan, options);
    struct CSide {
        const char* name;
        bool row;
        int index;
    } sides[] = {{"left", false, 0},
                 {"right", false, scan.Width() - 1},
                 {"top", true, 0},
                 {"bottom", true, scan.Height() - 1}};
    for (const CSide& side : sides) {
        const int n = side.row ? scan.Width() : scan.Height();
        int run = 0;
        for (int i = 0; i < n && run < kEdgeRun; ++i) {
            const bool dark =
                side.row ? samples.IsDark(i, side.index) : samples.IsDark(side.index, i);
            run = dark ? run + 1 : 0;
        }
        if (run >= kEdgeRun)
            return std::string("the exposed field reaches the scan's ") + side.name +
                   " edge: part of the print is cut off; scan the whole print with paper around "
                   "it (or check --color and --threshold)";
    }
    return std::string();
}

std::string ResolutionProblem(const CScanField& field, bool coarse) {
    const double least = coarse ? kCoarseScale : kSteadyScale;
    const int neededAcross = Needed(least, kDisplayHeight),
              neededDown = Needed(least, kDisplayWidth);
    if (field.right - field.left >= neededAcross && field.bottom - field.top >= neededDown)
        return std::string();
    char scale[32];
    std::snprintf(scale, sizeof scale, "%.2f", std::min(field.Across(), field.Down()));
    const std::string steady =
        Pixels(Needed(kSteadyScale, kDisplayHeight), Needed(kSteadyScale, kDisplayWidth));
    const std::string coarsest =
        Pixels(Needed(kCoarseScale, kDisplayHeight), Needed(kCoarseScale, kDisplayWidth));
    std::string text = "the exposed field measures " +
                       Pixels(field.right - field.left, field.bottom - field.top) +
                       " scan pixels, " + scale + " scan pixels per display pixel; ";
    if (coarse)
        return text +
               "below 1.1 the offset calculation cannot measure the marks: scan at a "
               "resolution that makes the field at least " +
               coarsest + " scan pixels (" + steady + " for calibrations that do not drift)";
    return text +
           "below 1.5 repeated calibrations drift: scan at a resolution that makes the "
           "field at least " +
           steady + " scan pixels (--coarse accepts down to 1.1, " + coarsest + ")";
}

std::vector<CGridPoint> FindMissingMarks(const CPicture& scan, const CScanField& field,
                                         const CScanCheckOptions& options) {
    const CScanSamples samples(scan, options);
    std::vector<CGridPoint> missing;
    for (int i = 0; i < kGridColumns; ++i)
        for (int j = 0; j < kGridRows; ++j) {
            int u = 0, v = 0;
            PredictPlace(samples, field, GridColumn(i), kGridFirst + kGridStep * j, u, v);
            bool found = true;
            for (int r : kSearchRadii) found = found && IsMarkFound(samples, u, v, r);
            if (!found) missing.push_back({i, j});
        }
    return missing;
}

std::string MarksReport(const std::vector<CGridPoint>& missing) {
    const int all = kGridColumns * kGridRows;
    if (missing.empty()) return "marks: all " + std::to_string(all) + " found";
    std::string text = "marks: " + std::to_string(missing.size()) + " of " + std::to_string(all) +
                       " not found (grid column, row: display column, line):";
    constexpr size_t kListed = 8;
    for (size_t k = 0; k < std::min(missing.size(), kListed); ++k) {
        const CGridPoint& p = missing[k];
        text += (k == 0 ? " " : "; ") + std::to_string(p.column) + ", " + std::to_string(p.row) +
                ": " + std::to_string(GridColumn(p.column)) + ", " +
                std::to_string(GridLine(p.row));
    }
    if (missing.size() > kListed)
        text += "; and " + std::to_string(missing.size() - kListed) + " more";
    return text;
}

void RequireWholeField(const std::string& path, const CPicture& scan,
                       const CScanCheckOptions& options) {
    const std::string problem = FieldEdgeProblem(scan, options);
    if (!problem.empty()) throw CHostError(path + ": " + problem);
}

std::string CheckFieldAndMarks(const std::string& path, const CPicture& scan,
                               const CScanCheckOptions& options) {
    const CScanField field = MeasureScanField(scan, options);
    if (!field.found) return std::string();
    const std::string problem = ResolutionProblem(field, options.coarse);
    if (!problem.empty()) throw CHostError(path + ": " + problem);
    return MarksReport(FindMissingMarks(scan, field, options));
}

int FieldExposure(const CLutTable& lut) {
    const int index = kDefaultFieldLevel - lut.firstInput;
    if (index < 0 || index >= static_cast<int>(lut.entries.size())) return 0;
    return std::clamp<int>(lut.entries[index], 0, 4095);
}

double MeasurementNoise(const CPicture& scan, const CScanField& field,
                        const CScanCheckOptions& options) {
    if (!field.found) return 0;
    // The middle half of the field across and down, in 2 x 2 blocks.
    const int w = field.right - field.left, h = field.bottom - field.top;
    std::vector<double> sizes;
    for (int y = field.top + h / 4; y + 1 < field.bottom - h / 4; y += 2)
        for (int x = field.left + w / 4; x + 1 < field.right - w / 4; x += 2) {
            auto at = [&](int u, int v) { return double(scan.Pixel(u, v)[options.colour]); };
            sizes.push_back(std::abs(at(x, y) - at(x + 1, y) - at(x, y + 1) + at(x + 1, y + 1)) / 2);
        }
    if (sizes.empty()) return 0;
    auto middle = sizes.begin() + static_cast<std::ptrdiff_t>(sizes.size() / 2);
    std::nth_element(sizes.begin(), middle, sizes.end());
    // The median size of a normally distributed value is 1 / 1.4826 of its deviation.
    const double perSample = 1.4826 * *middle * options.factor * 20 / 255;
    return perSample / std::sqrt(std::max(field.Across() * field.Down(), 1.0));
}

double ShareAboveNoise(const std::vector<int>& change, int width, int height, double pixelNoise) {
    constexpr int kReach = 2;  // 5 x 5
    const int first = kGridFirst, lastX = GridColumn(kGridColumns - 1);
    const int lastY = kGridFirst + kGridStep * (kGridRows - 1);
    if (width <= lastX + kReach || height <= lastY + kReach) return 0;
    // About the change's median over the field: the removed mean moves every sample alike.
    std::vector<int> field;
    for (int y = first; y <= lastY; ++y)
        for (int x = first; x <= lastX; ++x) field.push_back(change[size_t(y) * width + x]);
    auto middle = field.begin() + static_cast<std::ptrdiff_t>(field.size() / 2);
    std::nth_element(field.begin(), middle, field.end());
    const double median = *middle;
    const double limit = 3 * pixelNoise / (2 * kReach + 1);
    long above = 0, count = 0;
    for (int y = first; y <= lastY; ++y)
        for (int x = first; x <= lastX; ++x) {
            double sum = 0;
            for (int v = y - kReach; v <= y + kReach; ++v)
                for (int u = x - kReach; u <= x + kReach; ++u) sum += change[size_t(v) * width + u];
            const double mean = sum / ((2 * kReach + 1) * (2 * kReach + 1)) - median;
            above += std::abs(mean) > limit;
            ++count;
        }
    return count > 0 ? double(above) / count : 0;
}

double Spread(const std::vector<int>& samples) {
    if (samples.empty()) return 0;
    double sum = 0, squares = 0;
    for (int s : samples) {
        sum += s;
        squares += double(s) * s;
    }
    const double mean = sum / double(samples.size());
    return std::sqrt(std::max(squares / double(samples.size()) - mean * mean, 0.0));
}

std::string DescribeSpread(double spread, int exposure) {
    char text[96];
    if (exposure > 0)
        std::snprintf(text, sizeof text, "%.1f levels (%.2f %% of the field's exposure %d)", spread,
                      100 * spread / exposure, exposure);
    else
        std::snprintf(text, sizeof text, "%.1f levels", spread);
    return text;
}

}  // namespace host
