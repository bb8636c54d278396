// The pictures the host makes: the two calibration targets and a sample image, all 2560 x 2048
// (twice the display's 1280 x 1024: every 2 x 2 block of the image is one display pixel).
//
// Display coordinates below are a column from the left and a line from the top of the display.
// The library draws frame row r on display line 1023 - r, and the offset map is laid out like a
// frame, so offset-map sample (x, y) belongs to display pixel (x, 1023 - y).
#pragma once

#include <cstdint>
#include <vector>

#include "base/CalibrationLayout.h"
#include "pictures/Bitmap.h"

namespace host {

constexpr int32_t kDisplayWidth = 1280;
constexpr int32_t kDisplayHeight = 1024;
constexpr int32_t kImageWidth = 2 * kDisplayWidth;
constexpr int32_t kImageHeight = 2 * kDisplayHeight;

// ---- Grey scale: 46 patches at the step inputs of the LUT calculation and a reference patch.

// The input value of step k (0..45): 4, 8 .. 64, then 72, 80 .. 200, then 204, 208 .. 252.
using kavrel::kStepCount;
using kavrel::StepInput;

// Where the patch of densitometer reading r (0..46) lies in the grey-scale image, and its input.
// Reading 0 is the reference (input 255); reading r = 1..46 is the patch of step 46 - r, so the
// inputs fall from 252 (reading 1) to 4 (reading 46). The patches lie in 8 columns and 6 rows,
// read like text from the upper left, each labelled with its reading number and its input.
struct CPatch {
    int32_t reading;
    int32_t input;
    int32_t x, y, width, height;  // image pixels, y from the top
};
std::vector<CPatch> GreyScalePatches();
CPicture MakeGreyScale();

// ---- Offset test pattern: a uniform field with a bright mark at every grid point of the offset
// calculation, and an orientation notch.

constexpr int32_t kGridColumns = 20;
constexpr int32_t kGridRows = 16;
constexpr int32_t kGridFirst = kavrel::kGridOrigin;
constexpr int32_t kGridStep = kavrel::kGridStep;
// The display column of grid column i and the display line of grid row j (j counts offset-map
// rows, which run up the display).
constexpr int32_t GridColumn(int32_t i) { return kGridFirst + kGridStep * i; }
constexpr int32_t GridLine(int32_t j) { return kDisplayHeight - 1 - (kGridFirst + kGridStep * j); }

// The orientation notch: an unexposed stretch of the display's top line, from column 64 to
// column 447, near the upper left corner. It lies where the offset calculation overwrites the
// map anyway (its outermost rows), so that even the light the paper spreads around it leaves
// no trace in the map, and away from every place where the calculation searches for marks or
// edges.
constexpr int32_t kNotchFirstColumn = 64;
constexpr int32_t kNotchColumns = 384;
constexpr int32_t kNotchLines = 1;

constexpr uint8_t kDefaultFieldLevel = 128;
constexpr uint8_t kMarkLevel = 255;

// A mark is one unexposed display pixel (image 255, light paper) in the exposed field: the
// brightest point around in a scan, and, with the light that the paper spreads around it,
// still within the 3 x 3 samples that the offset calculation repairs at every grid point, so
// that the marks leave no trace in the offset map.
CPicture MakeOffsetPattern(uint8_t fieldLevel = kDefaultFieldLevel);

// ---- A colourful sample image for trying out an exposure.
CPicture MakeSampleImage();

}  // namespace host
