#include "pictures/Targets.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "pictures/Font.h"

namespace host {

namespace {

constexpr uint8_t kWhite = 255;  // unexposed: light paper
constexpr uint8_t kBlack = 0;    // fully exposed: dark paper

// Grey-scale layout, in image pixels.
constexpr int32_t kPatchColumns = 8;
constexpr int32_t kPatchRows = 6;
constexpr int32_t kCellWidth = kImageWidth / kPatchColumns;  // 320
constexpr int32_t kCellHeight = 340;
constexpr int32_t kCellTop = (kImageHeight - kPatchRows * kCellHeight) / 2;
constexpr int32_t kCellMargin = 14;
constexpr int32_t kLabelBand = 58;
constexpr int32_t kOutline = 4;

// Sets one display pixel of a 2560 x 2048 image: its 2 x 2 block of image pixels.
void SetDisplayPixel(CPicture& image, int32_t column, int32_t line, uint8_t value) {
    image.FillGrey(2 * column, 2 * line, 2, 2, value);
}

}  // namespace

std::vector<CPatch> GreyScalePatches() {
    std::vector<CPatch> patches;
    for (int32_t reading = 0; reading <= kStepCount; ++reading) {
        const int32_t cellX = (reading % kPatchColumns) * kCellWidth;
        const int32_t cellY = kCellTop + (reading / kPatchColumns) * kCellHeight;
        CPatch patch;
        patch.reading = reading;
        patch.input = reading == 0 ? 255 : StepInput(kStepCount - reading);
        patch.x = cellX + kCellMargin;
        patch.y = cellY + kCellMargin + kLabelBand;
        patch.width = kCellWidth - 2 * kCellMargin;
        patch.height = kCellHeight - 2 * kCellMargin - kLabelBand;
        patches.push_back(patch);
    }
    return patches;
}

CPicture MakeGreyScale() {
    CPicture image(kImageWidth, kImageHeight, kWhite);
    for (const CPatch& patch : GreyScalePatches()) {
        // A dark outline, clear of the patch, shows where each patch ends, the reference too.
        image.FillGrey(patch.x - 2 * kOutline, patch.y - 2 * kOutline, patch.width + 4 * kOutline,
                       patch.height + 4 * kOutline, kBlack);
        image.FillGrey(patch.x - kOutline, patch.y - kOutline, patch.width + 2 * kOutline,
                       patch.height + 2 * kOutline, kWhite);
        image.FillGrey(patch.x, patch.y, patch.width, patch.height,
                       static_cast<uint8_t>(patch.input));
        const int32_t labelY = patch.y - kLabelBand + 2;
        DrawText(image, patch.x - 2 * kOutline, labelY, 6, std::to_string(patch.reading), kBlack);
        const std::string input =
            patch.reading == 0 ? "REF 255" : "IN " + std::to_string(patch.input);
        DrawText(image, patch.x + patch.width + 2 * kOutline - TextWidth(input, 3), labelY + 21, 3,
                 input, kBlack);
    }
    // The cell after the last patch names the target and the reading order.
    const int32_t x = 7 * kCellWidth + kCellMargin;
    const int32_t y = kCellTop + 5 * kCellHeight + kCellMargin;
    DrawText(image, x, y, 4, "GREY SCALE", kBlack);
    DrawText(image, x, y + 50, 3, "READ 0 TO 46", kBlack);
    DrawText(image, x, y + 80, 3, "0 = REFERENCE", kBlack);
    DrawText(image, x, y + 110, 3, "1-46 = INPUT", kBlack);
    DrawText(image, x, y + 140, 3, "252 DOWN TO 4", kBlack);
    return image;
}

CPicture MakeOffsetPattern(uint8_t fieldLevel) {
    CPicture image(kImageWidth, kImageHeight, fieldLevel);
    for (int32_t i = 0; i < kGridColumns; ++i) {
        for (int32_t j = 0; j < kGridRows; ++j) {
            SetDisplayPixel(image, GridColumn(i), GridLine(j), kMarkLevel);
        }
    }
    image.FillGrey(2 * kNotchFirstColumn, 0, 2 * kNotchColumns, 2 * kNotchLines, kWhite);
    return image;
}

CPicture MakeSampleImage() {
    CPicture image(kImageWidth, kImageHeight);
    const double cx = kImageWidth / 2.0, cy = kImageHeight / 2.0;
    for (int32_t y = 0; y < kImageHeight; ++y) {
        for (int32_t x = 0; x < kImageWidth; ++x) {
            const double u = x / double(kImageWidth - 1), v = y / double(kImageHeight - 1);
            const double r = std::hypot(x - cx, y - cy);
            uint8_t red = static_cast<uint8_t>(255 * u);
            uint8_t green = static_cast<uint8_t>(255 * v);
            uint8_t blue = static_cast<uint8_t>(255 * (1 - 0.5 * (u + v)));
            if (r < 640) {
                // A disc of concentric grey rings; its centre shows the four pixel positions
                // of every 2 x 2 block in four greys.
                const uint8_t grey = static_cast<uint8_t>(127.5 + 127.5 * std::cos(r / 24.0));
                red = green = blue = grey;
                if (r < 160)
                    red = green = blue = static_cast<uint8_t>(64 * (1 + (x & 1) + 2 * (y & 1)) - 1);
            }
            image.SetColour(x, y, blue, green, red);
        }
    }
    // A step wedge of 16 greys along the bottom.
    for (int32_t step = 0; step < 16; ++step)
        image.FillGrey(step * kImageWidth / 16, kImageHeight - 200, kImageWidth / 16, 200,
                       static_cast<uint8_t>(step * 17));
    DrawText(image, 80, 80, 12, "KAVREL SAMPLE", kWhite);
    return image;
}

}  // namespace host
