#include "exposure/ExposureFiles.h"

#include <cstdlib>

#include "common/Errors.h"
#include "files/FileRequirements.h"
#include "files/Files.h"
#include "pictures/Bitmap.h"
#include "pictures/Targets.h"

namespace host {

void CheckImage(const std::string& path) {
    RequireFile(path, "image");
    const CBitmapSize size = ReadBitmapSize(path);
    if (size.bitCount != 24 || size.width != kImageWidth || std::abs(size.height) != kImageHeight)
        throw CHostError(path + ": a " + std::to_string(size.width) + " x " +
                         std::to_string(std::abs(size.height)) + " bitmap of " +
                         std::to_string(size.bitCount) + " bits per pixel; expose needs " +
                         std::to_string(kImageWidth) + " x " + std::to_string(kImageHeight) +
                         " pixels of 24 bits");
    if (size.height < 0)
        throw CHostError(path +
                         ": a top-down bitmap; expose needs one stored bottom-up, as most "
                         "programs save them");
    // The pixels too, so that a file cut short is named as such rather than by the library's
    // result code.
    ReadBitmap(path);
}

void CheckLut(const std::string& lut) {
    RequireFile(lut, "--lut");
    const CLutTable table = ParseLutFile(lut, ReadWholeFile(lut, kMaxLutFileBytes));
    if (table.entries.size() > kLibraryMaxLutEntries)
        throw CHostError(lut + ": a LUT of " + std::to_string(table.entries.size()) +
                         " entries; the library takes at most " +
                         std::to_string(kLibraryMaxLutEntries) +
                         " and would expose with its default table instead");
}

void CheckOffset(const std::string& offset) {
    RequireFile(offset, "--offset");
    const COffsetMap map = ParseOffsetFile(offset, ReadWholeFile(offset, kMaxOffsetFileBytes));
    if (map.width != kDisplayWidth || map.height != kDisplayHeight)
        throw CHostError(offset + ": an offset map of " + std::to_string(map.width) + " x " +
                         std::to_string(map.height) + " samples; the display needs 1280 x 1024");
}

}  // namespace host
