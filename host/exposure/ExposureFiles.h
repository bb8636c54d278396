// The files an exposure hands the library, checked before the display opens: the image, the LUT
// and the offset map, so that a fault is named by the file instead of by the library's result code
// or a print exposed with the library's default table.
#pragma once

#include <string>

namespace host {

// A 2560 x 2048 24-bit bitmap stored bottom-up and complete, a LUT file the library takes, an
// offset map of the display's size. Each throws CHostError naming the file.
void CheckImage(const std::string& path);
void CheckLut(const std::string& lut);
void CheckOffset(const std::string& offset);

}  // namespace host
