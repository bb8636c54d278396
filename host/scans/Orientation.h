// How a scan of the offset test pattern lies, compared with how the offset calculation reads it.
//
// The offset calculation turns the scan a quarter turn clockwise and then lays the offset map
// over it: the scan's rows from the top become the display's columns from the left, and the
// scan's columns from the left become the display's lines from the bottom. So the scan must
// show the pattern as the display showed it, turned a quarter turn clockwise: the display's top
// edge along the scan's right side, its left edge along the scan's top. The pattern's
// orientation notch (on the display's top edge, near its left end) then lies on the right side
// of the scan, near the top. Any other placement is measured without complaint by the library
// and puts every correction in the wrong place.
#pragma once

#include <string>

#include "pictures/Bitmap.h"

namespace host {

enum class ESide { Left, Right, Top, Bottom };

struct CScanOrientation {
    // False when the scan shows no exposed field or no notch; problem says what was not found.
    bool found = false;
    std::string problem;
    // The exposed field on the scan's middle row and column, in scan pixels.
    int left = 0, top = 0, right = 0, bottom = 0;
    // Where the notch lies: on which side of the field, and at which end of that side (Top or
    // Bottom for the left and right sides, Left or Right for the top and bottom sides).
    ESide side = ESide::Right;
    ESide end = ESide::Top;
    // The notch's measured depth and the depth expected of it, in scan pixels.
    double depth = 0;
    double expectedDepth = 0;

    // The placement the offset calculation needs.
    bool IsRight() const { return found && side == ESide::Right && end == ESide::Top; }
    // What is wrong and how to place the print instead; empty when the placement is right.
    std::string Advice() const;
    // "on the right side, near the top"
    std::string NotchPlace() const;
};

// Looks for the exposed field and the notch in colour byte colour (0 blue, 1 green, 2 red) of
// the scan, telling exposed from unexposed as the offset calculation does with the given
// threshold (percent) and correction factor.
CScanOrientation FindScanOrientation(const CPicture& scan, int colour, int threshold, int factor);

}  // namespace host
