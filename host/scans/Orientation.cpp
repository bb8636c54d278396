#include "scans/Orientation.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <optional>
#include <vector>

#include "pictures/Targets.h"
#include "scans/ScanLevels.h"

namespace host {

namespace {

// One line of samples (a row or a column of the scan) and the field's edges on it.
class CLine {
public:
    CLine(const CPicture& scan, int colour, bool row, int index) {
        const int32_t n = row ? scan.Width() : scan.Height();
        m_Bytes.resize(static_cast<size_t>(n));
        for (int32_t i = 0; i < n; ++i)
            m_Bytes[i] = row ? scan.Pixel(i, index)[colour] : scan.Pixel(index, i)[colour];
    }
    // The first and the last exposed sample, with the threshold crossing in front of them
    // interpolated between samples; nothing when the line has no exposed sample.
    std::optional<std::pair<double, double>> Edges(const CDarkness& dark) const {
        const int32_t n = static_cast<int32_t>(m_Bytes.size());
        int32_t first = 0;
        while (first < n && !dark.IsDark(m_Bytes[first])) ++first;
        if (first == n) return std::nullopt;
        int32_t last = n - 1;
        while (last > first && !dark.IsDark(m_Bytes[last])) --last;
        return std::make_pair(first - Crossing(dark, first, first - 1),
                              last + Crossing(dark, last, last + 1));
    }

private:
    // How far in front of the exposed sample at i, toward its unexposed neighbour, the level
    // passes the threshold: 0 .. 1.
    double Crossing(const CDarkness& dark, int32_t i, int32_t neighbour) const {
        if (neighbour < 0 || neighbour >= static_cast<int32_t>(m_Bytes.size())) return 0.5;
        const double inside = dark.Level(m_Bytes[i]), outside = dark.Level(m_Bytes[neighbour]);
        if (outside <= inside) return 0.5;
        return std::clamp((dark.Threshold() - inside) / (outside - inside), 0.0, 1.0);
    }

    std::vector<uint8_t> m_Bytes;
};

double Median(std::vector<double> values) {
    if (values.empty()) return 0;
    const size_t middle = values.size() / 2;
    std::nth_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(middle),
                     values.end());
    return values[middle];
}

const char* SideName(ESide side) {
    switch (side) {
        case ESide::Left:
            return "left";
        case ESide::Right:
            return "right";
        case ESide::Top:
            return "top";
        case ESide::Bottom:
            return "bottom";
    }
    return "";
}

}  // namespace

std::string CScanOrientation::NotchPlace() const {
    return std::string("on the ") + SideName(side) + " side, near the " + SideName(end);
}

std::string CScanOrientation::Advice() const {
    if (!found || IsRight()) return std::string();
    const std::string now = "the scan shows the orientation notch " + NotchPlace() +
                            "; it must lie on the right side, near the top (the pattern's top "
                            "edge along the scan's right side)";
    // The placements a turn of the print on the glass can mend; the others are mirror images.
    const bool halfTurn = side == ESide::Left && end == ESide::Bottom;
    const bool quarterTurn = (side == ESide::Bottom && end == ESide::Right) ||
                             (side == ESide::Top && end == ESide::Left);
    if (halfTurn) return now + ": turn the print half a turn on the scanner and scan it again";
    if (quarterTurn)
        return now +
               ": turn the print a quarter turn on the scanner, " +
               // The bottom edge comes to the right by a counter-clockwise turn, the top edge
               // by a clockwise one.
               (side == ESide::Bottom ? "counter-clockwise" : "clockwise") +
               " as the scan shows it" +
               ", so that the edge now along the scan's " + SideName(side) +
               " side comes to its right side (the notch near the top), and scan it again";
    return now +
           ": the scan is a mirror image of the pattern, which no turn of the print mends; "
           "switch off mirroring in the scanning software (or mirror the scan), then place "
           "the print so that the notch lies on the right side, near the top";
}

CScanOrientation FindScanOrientation(const CPicture& scan, int colour, int threshold, int factor) {
    CScanOrientation result;
    const CDarkness dark(threshold, factor);
    if (scan.Width() < 3 || scan.Height() < 3) {
        result.problem = "the scan is too small to hold the test pattern";
        return result;
    }
    const auto across = CLine(scan, colour, true, scan.Height() / 2).Edges(dark);
    const auto down = CLine(scan, colour, false, scan.Width() / 2).Edges(dark);
    if (!across || !down || across->second - across->first < 100 ||
        down->second - down->first < 100) {
        result.problem =
            "the scan shows no exposed field of at least 100 x 100 pixels on its "
            "middle row and column (check --color and --threshold)";
        return result;
    }
    result.left = static_cast<int>(std::lround(across->first));
    result.right = static_cast<int>(std::lround(across->second));
    result.top = static_cast<int>(std::lround(down->first));
    result.bottom = static_cast<int>(std::lround(down->second));
    const double width = across->second - across->first, height = down->second - down->first;

    // The notch lies on one of the field's long sides (the display's top edge is its long edge),
    // so the field's proportions tell the axis to follow.
    const bool portrait = height >= width;
    const double length = portrait ? height : width, breadth = portrait ? width : height;
    const double proportion = length / breadth;
    if (proportion < 1.1 || proportion > 1.45) {
        result.problem = "the exposed field measures " + std::to_string(std::lround(width)) +
                         " x " + std::to_string(std::lround(height)) +
                         " scan pixels, not the display's proportions 5:4: is this a scan of the "
                         "offset test pattern?";
        return result;
    }

    // Across the long axis, three stretches: A near the start (inside the notch if it is there),
    // C in the middle, B near the end. The field's breadth drops by the notch's depth in the
    // stretch that holds it; the centre line between the two edges moves by half the depth
    // toward the side without the notch. Turns, shear and a slightly crooked print add a straight
    // line to the centre line, which the second difference between the stretches removes.
    const double start = portrait ? down->first : across->first;
    struct CStretch {
        double from, to;
        std::vector<double> breadth, centre;
    };
    std::array<CStretch, 3> stretches{
        {{0.10, 0.30, {}, {}}, {0.40, 0.60, {}, {}}, {0.70, 0.90, {}, {}}}};
    for (CStretch& stretch : stretches) {
        const int first = static_cast<int>(std::ceil(start + stretch.from * length));
        const int last = static_cast<int>(std::floor(start + stretch.to * length));
        for (int i = first; i <= last; ++i) {
            if (i < 0 || i >= (portrait ? scan.Height() : scan.Width())) continue;
            const auto edges = CLine(scan, colour, portrait, i).Edges(dark);
            if (!edges) continue;
            stretch.breadth.push_back(edges->second - edges->first);
            stretch.centre.push_back(0.5 * (edges->first + edges->second));
        }
        if (stretch.breadth.empty()) {
            result.problem = "the exposed field's edges cannot be followed along its long sides";
            return result;
        }
    }
    const double breadthA = Median(stretches[0].breadth), breadthC = Median(stretches[1].breadth),
                 breadthB = Median(stretches[2].breadth);
    const double centreCurve =
        Median(stretches[0].centre) + Median(stretches[2].centre) - 2 * Median(stretches[1].centre);
    const double deficitA = breadthC - breadthA, deficitB = breadthC - breadthB;
    result.expectedDepth = kNotchLines * length / kDisplayWidth;
    result.depth = std::max(deficitA, deficitB);
    const double other = std::min(deficitA, deficitB);
    if (result.depth < 0.5 * result.expectedDepth ||
        result.depth - other < 0.4 * result.expectedDepth ||
        std::abs(centreCurve) < 0.25 * result.depth) {
        result.problem =
            "the orientation notch of the offset test pattern was not found on the "
            "exposed field's long sides (is this a scan of the pattern that "
            "'kavrel-host targets' writes, at a resolution of at least one scan pixel "
            "per display pixel?)";
        return result;
    }
    const bool nearStart = deficitA > deficitB;
    // The notch moves its side's edge inward: on the left or top side toward higher indexes,
    // which moves the centre line up in the notch's stretch.
    const bool firstSide = centreCurve > 0;
    if (portrait) {
        result.side = firstSide ? ESide::Left : ESide::Right;
        result.end = nearStart ? ESide::Top : ESide::Bottom;
    } else {
        result.side = firstSide ? ESide::Top : ESide::Bottom;
        result.end = nearStart ? ESide::Left : ESide::Right;
    }
    result.found = true;
    return result;
}

}  // namespace host
