// A small 5 x 7 pixel font for the labels of the calibration targets and the sample image.
#pragma once

#include <cstdint>
#include <string>

#include "pictures/Bitmap.h"

namespace host {

// Draws the text with its top left corner at (x, y), every font pixel a square of scale x scale
// picture pixels, in one grey value. Letters are drawn in capitals; characters the font lacks
// are drawn as blanks. Returns the width drawn.
int32_t DrawText(CPicture& picture, int32_t x, int32_t y, int32_t scale, const std::string& text,
                 uint8_t value);
// The width that DrawText would draw.
int32_t TextWidth(const std::string& text, int32_t scale);

}  // namespace host
