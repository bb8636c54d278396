// The geometry of fit, fill, crop, area and rotation.
#include "photos/Placement.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

#include "common/Errors.h"
#include "common/Numbers.h"

namespace host {

namespace {

// The whole numbers of text between the separators, in order; nothing when text is not that.
std::optional<std::vector<long long>> Numbers(const std::string& text,
                                              const std::string& separators) {
    std::vector<long long> values;
    size_t start = 0;
    for (size_t i = 0; i <= separators.size(); ++i) {
        const size_t end = i < separators.size() ? text.find(separators[i], start) : text.size();
        if (end == std::string::npos) return std::nullopt;
        long long value = 0;
        const std::string part = text.substr(start, end - start);
        if (part.empty() || part[0] == '+' || part[0] == '-' || !ParseInteger(part, value))
            return std::nullopt;
        values.push_back(value);
        start = end + 1;
    }
    return values;
}

bool FitsIn(long long x, long long y, long long width, long long height, long long outerWidth,
            long long outerHeight) {
    return width > 0 && height > 0 && x >= 0 && y >= 0 && x + width <= outerWidth &&
           y + height <= outerHeight;
}

int32_t Rounded(double value) { return static_cast<int32_t>(std::lround(value)); }

// The rectangle of the given size centred in outer.
CRect Centred(int32_t width, int32_t height, const CRect& outer) {
    return {outer.x + (outer.width - width) / 2, outer.y + (outer.height - height) / 2, width,
            height};
}

}  // namespace

CRect ParseCrop(const std::string& text) {
    const std::optional<std::vector<long long>> v = Numbers(text, ",,,");
    if (!v || (*v)[2] <= 0 || (*v)[3] <= 0 || (*v)[0] > INT32_MAX || (*v)[1] > INT32_MAX ||
        (*v)[2] > INT32_MAX || (*v)[3] > INT32_MAX)
        throw CUsageError("--crop " + text + ": give X,Y,WIDTH,HEIGHT in the photo's pixels");
    return {static_cast<int32_t>((*v)[0]), static_cast<int32_t>((*v)[1]),
            static_cast<int32_t>((*v)[2]), static_cast<int32_t>((*v)[3])};
}

CRect ParseArea(const std::string& text) {
    const std::optional<std::vector<long long>> v = Numbers(text, "x++");
    if (!v || !FitsIn((*v)[2], (*v)[3], (*v)[0], (*v)[1], kImageWidth, kImageHeight))
        throw CUsageError("--area " + text +
                          ": give WIDTHxHEIGHT+X+Y of a part of the 2560 x 2048 frame");
    return {static_cast<int32_t>((*v)[2]), static_cast<int32_t>((*v)[3]),
            static_cast<int32_t>((*v)[0]), static_cast<int32_t>((*v)[1])};
}

EPhotoRotation ParseRotation(const std::string& text) {
    if (text == "auto") return EPhotoRotation::Auto;
    if (text == "0") return EPhotoRotation::None;
    if (text == "90") return EPhotoRotation::Clockwise90;
    if (text == "180") return EPhotoRotation::Half;
    if (text == "270") return EPhotoRotation::Clockwise270;
    throw CUsageError("--rotate " + text + ": give auto, 0, 90, 180 or 270");
}

std::string RectText(const CRect& rect) {
    char text[80];
    std::snprintf(text, sizeof text, "%d x %d at (%d, %d)", rect.width, rect.height, rect.x,
                  rect.y);
    return text;
}

CPlacement PlacePhoto(int32_t width, int32_t height, const CPhotoOptions& options) {
    CPlacement placement;
    placement.crop = options.crop.value_or(CRect{0, 0, width, height});
    const CRect& crop = placement.crop;
    if (!FitsIn(crop.x, crop.y, crop.width, crop.height, width, height))
        throw CHostError("--crop " + std::to_string(crop.x) + "," + std::to_string(crop.y) + "," +
                         std::to_string(crop.width) + "," + std::to_string(crop.height) +
                         " lies outside the photo of " + std::to_string(width) + " x " +
                         std::to_string(height) + " pixels");
    // Auto turns a portrait photo a quarter clockwise, to use the landscape frame.
    if (options.rotation == EPhotoRotation::Auto)
        placement.quarterTurns = crop.height > crop.width ? 1 : 0;
    else
        placement.quarterTurns = static_cast<int>(options.rotation);
    const bool sideways = placement.quarterTurns % 2 == 1;
    const int32_t turnedWidth = sideways ? crop.height : crop.width;
    const int32_t turnedHeight = sideways ? crop.width : crop.height;
    const CRect area = options.area.value_or(CRect{0, 0, kImageWidth, kImageHeight});
    const double widthScale = static_cast<double>(area.width) / turnedWidth;
    const double heightScale = static_cast<double>(area.height) / turnedHeight;
    if (options.fit == EPhotoFit::Fit) {
        // The whole photo, as large as the area holds it.
        const double scale = std::min(widthScale, heightScale);
        placement.source = {0, 0, turnedWidth, turnedHeight};
        placement.target = Centred(std::clamp(Rounded(turnedWidth * scale), 1, area.width),
                                   std::clamp(Rounded(turnedHeight * scale), 1, area.height), area);
    } else {
        // The area covered: the photo's centre part of the area's shape.
        const double scale = std::max(widthScale, heightScale);
        placement.target = area;
        placement.source = Centred(std::clamp(Rounded(area.width / scale), 1, turnedWidth),
                                   std::clamp(Rounded(area.height / scale), 1, turnedHeight),
                                   CRect{0, 0, turnedWidth, turnedHeight});
    }
    return placement;
}

}  // namespace host
