// Where a photo goes in the 2560 x 2048 frame: the options of fit, fill, crop, area and rotation,
// and the rectangles they give, worked out from the photo's size alone.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "pictures/Targets.h"

namespace host {

struct CRect {
    int32_t x = 0, y = 0, width = 0, height = 0;
    bool operator==(const CRect&) const = default;
};

enum class EPhotoFit { Fit, Fill };
// A quarter turn count clockwise, or Auto: a quarter turn for a portrait photo.
// A turn clockwise in quarter turns (None 0 .. Clockwise270 3), or Auto.
enum class EPhotoRotation { None, Clockwise90, Half, Clockwise270, Auto };

struct CPhotoOptions {
    EPhotoFit fit = EPhotoFit::Fit;
    std::optional<CRect> crop;  // in the pixels of the photo turned by its EXIF orientation
    std::optional<CRect> area;  // in the frame; the whole frame when not given
    EPhotoRotation rotation = EPhotoRotation::None;
    uint8_t border = 255;        // the frame outside the photo, and what transparency lies over
    std::string workingProfile;  // an ICC file; empty: sRGB
    // Whether the photo can only land on the whole frame unchanged in size and place.
    bool KeepsGeometry() const { return !crop && !area && rotation == EPhotoRotation::None; }
};

// Parsers of the command-line forms; each throws CUsageError naming the option.
CRect ParseCrop(const std::string& text);               // X,Y,W,H
CRect ParseArea(const std::string& text);               // WxH+X+Y, inside the frame
EPhotoRotation ParseRotation(const std::string& text);  // auto, 0, 90, 180, 270
std::string RectText(const CRect& rect);                // W x H at (X, Y)

// The photo's part and its place: crop (in the oriented photo), then the quarter turns, then
// source (in the turned crop) scaled to target (in the frame).
struct CPlacement {
    CRect crop;
    int quarterTurns = 0;  // clockwise
    CRect source;
    CRect target;
};

// The placement of a photo of width x height pixels (after its EXIF orientation). Throws
// CHostError when the crop lies outside the photo.
CPlacement PlacePhoto(int32_t width, int32_t height, const CPhotoOptions& options);

}  // namespace host
