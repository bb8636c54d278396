// The display check: test frames that exercise every packed bit, the picture the display must
// show for each, and what a difference between that and the screen tells.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "displays/Display.h"

namespace host {

// Why the display in this mode cannot show the packed values unchanged, or empty when it can.
std::string ModeProblem(const CScreenMode& mode);
// "1280 x 1024 at (0, 0), 24-bit colour, 60 Hz"
std::string ModeText(const CScreenMode& mode);

// One drawing of the check: a uniform frame of a level, or a frame of levels given sample by
// sample (row 0 first, shown on the display's bottom line) with a delay-line arrangement.
struct CTestFrame {
    std::string what;
    bool blank = false;
    int level = 0;
    std::vector<int16_t> levels;
    int delayLine = 0;
    int delayShift = 0;
};
std::vector<CTestFrame> TestFrames();

// The 1280 x 1024 picture, top line first, 3 bytes a pixel (blue, green, red), that the library
// draws for the frame.
std::vector<uint8_t> ExpectedPicture(const CTestFrame& frame);

// Where and in which bits a screen differs from the expected picture.
struct CComparison {
    int width = 0;
    int height = 0;
    int64_t differing = 0;                // pixels
    int64_t changedBits[3][8] = {};       // pixels in which bit b of byte (blue, green, red) differs
    int left = 0, top = 0, right = 0, bottom = 0;  // the differing pixels' bounds, right/bottom inclusive
    int firstX = -1, firstY = -1;
    uint8_t expected[3] = {}, shown[3] = {};       // at the first differing pixel
};
CComparison Compare(const std::vector<uint8_t>& expected, const std::vector<uint8_t>& shown,
                    int width, int height);
// Lines that say which bits change, where, and what that suggests; empty for no difference.
std::vector<std::string> DescribeDifference(const CComparison& comparison);

}  // namespace host
