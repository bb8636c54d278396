// What calc-offset measures on a scan of the offset test pattern before the library sees it, and
// what it reports about the new map afterwards.
//
// The scan lies as the offset calculation reads it (see Orientation.h): the scan's rows from the
// top are the display's columns from the left, the scan's columns from the left are the
// display's lines from the bottom, that is offset-map rows. So offset-map sample (x, y) lies on
// scan row top + (bottom - top) x / 1280 and scan column left + (right - left) y / 1024.
#pragma once

#include <string>
#include <vector>

#include "files/Files.h"
#include "pictures/Bitmap.h"

namespace host {

struct CScanCheckOptions {
    int colour = 1;
    int threshold = 90;
    int factor = 100;
    // Accept scans down to 1.1 scan pixels per display pixel instead of 1.5.
    bool coarse = false;
};

// The exposed field as the offset calculation measures it: the first and last exposed sample on
// the scan's middle row (left, right) and middle column (top, bottom).
struct CScanField {
    bool found = false;
    int left = 0, top = 0, right = 0, bottom = 0;
    // Scan pixels per display pixel across the field (display lines) and down it (columns).
    double Across() const;
    double Down() const;
};
CScanField MeasureScanField(const CPicture& scan, const CScanCheckOptions& options);

// A scan whose rows are stored top-down is not read by the library: throws CHostError saying so.
void RequireBottomUpScan(const std::string& path);

// Why the scan cannot be measured well, or empty: the exposed field reaches the scan's edge, or
// it has fewer scan pixels per display pixel than repeated calibrations need.
std::string FieldEdgeProblem(const CPicture& scan, const CScanCheckOptions& options);
std::string ResolutionProblem(const CScanField& field, bool coarse);

// A grid point of the offset calculation: grid column i (0..19, display column 31 + 64 i) and
// grid row j (0..15, offset-map row 31 + 64 j, display line 992 - 64 j).
struct CGridPoint {
    int column;
    int row;
};
// The grid points whose mark the calculation cannot find: around the place predicted from the
// exposed field's edges, the brightest sample of its search windows (2r x 2r scan pixels, r 20
// and 15) is no mark when it is not above 0, lies on the window's outermost rows or columns, or
// does not stand at least 6 standard deviations and 8 levels above the mean of the window
// outside +-(r/4) around it.
std::vector<CGridPoint> FindMissingMarks(const CPicture& scan, const CScanField& field,
                                         const CScanCheckOptions& options);
// "marks: all 320 found" or how many are missing and where.
std::string MarksReport(const std::vector<CGridPoint>& missing);

// The field inside the scan, checked before the placement, which a cut-off field would confuse.
// Throws CHostError naming the file.
void RequireWholeField(const std::string& path, const CPicture& scan,
                       const CScanCheckOptions& options);
// After the placement check: refuses a field too coarse to measure (throws CHostError naming the
// file) and returns the marks report; empty when no field is found (the library then refuses).
std::string CheckFieldAndMarks(const std::string& path, const CPicture& scan,
                               const CScanCheckOptions& options);

// The exposure level of the offset pattern's field (value 128) through a LUT.
int FieldExposure(const CLutTable& lut);

// The scanner's noise as one display pixel's measurement carries it, in exposure levels: the
// differences of neighbouring scan samples in 2 x 2 blocks ((a - b - c + d) / 2, which leaves the
// print's smooth unevenness out), taken robustly over the middle of the field, scaled as the
// library scales the scan (F x 20 levels for white) and averaged over the scan samples of one
// display pixel. 0 when no field is found.
double MeasurementNoise(const CPicture& scan, const CScanField& field,
                        const CScanCheckOptions& options);
// The share (0..1) of the map's samples between the outermost marks where a calibration's change
// stands above that noise: where the change averaged over 5 x 5 samples exceeds three times the
// noise of such an average. Changes within it are what the scan cannot tell from noise.
double ShareAboveNoise(const std::vector<int>& change, int width, int height, double pixelNoise);

// The spread (standard deviation) of the map's samples, in exposure levels.
double Spread(const std::vector<int>& samples);
// "12.3 levels (0.60 % of the field's exposure 2039)".
std::string DescribeSpread(double spread, int exposure);

}  // namespace host
