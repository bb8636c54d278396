// A simulated darkroom for the calibration tests: a display with a known unevenness lights a
// print, and the print is scanned, lying on the scanner in any of its eight placements.
#pragma once

#include <cstdint>
#include <vector>

#include "pictures/Bitmap.h"

namespace simulation {

constexpr int kWidth = 1280;
constexpr int kHeight = 1024;

// Exposure levels 0..4095 of every display pixel, line by line from the top.
using CExposure = std::vector<int>;

// The exposure levels that a display picture (as the file display writes it) carries: each
// 12-bit level packed into the high halves of the pixel's three bytes.
CExposure UnpackDisplayPicture(const host::CPicture& picture);

// The exposure an image would give through a falling linear table (4095 at 0, 0 at 255) and an
// offset map given per display pixel (may be empty), without the library: for tests that only
// need a plausible print.
CExposure IdealExposure(const host::CPicture& image, const std::vector<int>& offsetByPixel = {});

// The display's light: exposure times a known gain, uneven across the display (a gradient from
// left to right and from top to bottom and a bright spot off the centre), so that every turn
// or mirror image of it differs from it.
double DisplayGain(int column, int line);

// How the print lies on the scanner: the scan shows the print mirrored left to right (when
// mirrored) and then turned quarterTurns quarter turns clockwise.
struct CPlacement {
    int quarterTurns;
    bool mirrored;
};
// The placement the offset calculation needs, and all eight.
constexpr CPlacement kRightPlacement{1, false};
std::vector<CPlacement> AllPlacements();

struct CScanSettings {
    double scale = 1.5;       // scan pixels per display pixel
    int margin = 40;          // paper and scanner lid around the exposed field, in scan pixels
    double degrees = 0;       // a slightly crooked print, turned this much clockwise
    double noise = 1.5;       // scanner noise, +- in bytes
    double paperWhite = 250;  // the scan byte of unexposed paper
    double darkening = 0.09;  // scan bytes lost per unit of light
    double paperSpread = 0.25;  // share of a pixel's light the print spreads to each neighbour
    double paperSigma = 0;      // when above 0: the print spreads light as a Gaussian of this
                                // many display pixels instead
    bool uneven = true;       // the display's gain; false for a perfectly even display
    uint32_t seed = 12345;    // of the scanner's noise: a scan with another seed has other noise
};

// Exposes a print with the given exposure levels, scans it in the given placement and returns
// the scan: a grey 24-bit picture, top row first.
host::CPicture ExposeAndScan(const CExposure& exposure, CPlacement placement,
                             const CScanSettings& settings = CScanSettings());

// How uneven the display's light is over the exposed field of the offset test pattern (marks,
// notch and the outermost 4 pixels left out): the standard deviation over the mean.
double Unevenness(const CExposure& exposure, bool uneven = true);

// Every display pixel's light against the mean light of the field, the marks and the notch left
// out. Between the outermost marks: how many pixels stray beyond 1 % and beyond 2 %, the worst of
// them, and the worst of the eight pixels around each mark, where a calibration that mishandles
// the marks shows first. Outside them, in the strips along the edges: the worst pixel.
struct CEvenness {
    double fieldCv = 0;  // standard deviation over the mean, the field without the marks' neighbours
    long beyondOnePercent = 0;
    long beyondTwoPercent = 0;
    double worst = 0;  // largest deviation, as a fraction of the mean
    double worstNextToMark = 0;
    double worstInStrips = 0;
};
CEvenness Evenness(const CExposure& exposure);

// The exposure with the marks at the given grid points (column i, row j) taken out, as dust on
// the print or a mark too faint to print would take them: each gets the exposure of the pixel
// beside it.
struct CGridPoint {
    int i, j;
};
CExposure WithoutMarks(CExposure exposure, const std::vector<CGridPoint>& missing);

}  // namespace simulation
