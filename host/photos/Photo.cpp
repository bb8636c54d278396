// A photo made into the frame: a frame-size bitmap passed through, any other photo decoded,
// placed and laid on a frame of the border value.
#include "photos/Photo.h"

#include <algorithm>
#include <memory>

#include "common/Errors.h"
#include "photos/PhotoDecoder.h"

namespace host {

namespace {

// A 2560 x 2048 24-bit bitmap stored bottom-up: the library's own input, taken as it is.
bool IsFrameBitmap(const std::string& path) {
    try {
        const CBitmapSize size = ReadBitmapSize(path);
        return size.width == kImageWidth && size.height == kImageHeight && size.bitCount == 24;
    } catch (const CHostError&) {
        return false;
    }
}

const char* TurnText(int quarterTurns) {
    static const char* const kTexts[] = {"", ", turned 90 degrees clockwise",
                                         ", turned 180 degrees", ", turned 270 degrees clockwise"};
    return kTexts[quarterTurns & 3];
}

std::string PlacementLine(const CPlacement& placement, const CPhotoOptions& options, int32_t width,
                          int32_t height) {
    std::string line = options.fit == EPhotoFit::Fit ? "fit" : "fill";
    if (options.crop) line += ", crop " + RectText(placement.crop);
    line += TurnText(placement.quarterTurns);
    if (placement.source.width != width || placement.source.height != height ||
        placement.quarterTurns % 2 == 1)
        line += ", its part " + RectText(placement.source);
    line += " -> " + RectText(placement.target) + " in the 2560 x 2048 frame";
    if (placement.target.width != kImageWidth || placement.target.height != kImageHeight)
        line += ", border " + std::to_string(options.border);
    return line;
}

// The rendered photo laid into a frame of the border value at the target's place.
CPicture FrameOf(const CPicture& photo, const CRect& target, uint8_t border) {
    CPicture frame(kImageWidth, kImageHeight, border);
    for (int32_t y = 0; y < target.height; ++y)
        std::copy_n(photo.Pixel(0, y), static_cast<size_t>(target.width) * 3,
                    frame.Pixel(target.x, target.y + y));
    return frame;
}

}  // namespace

CPhotoOptions MakePhotoOptions(bool fill, const std::string& crop, const std::string& area,
                               const std::string& rotate, int border,
                               const std::string& workingProfile) {
    CPhotoOptions options;
    options.fit = fill ? EPhotoFit::Fill : EPhotoFit::Fit;
    if (!crop.empty()) options.crop = ParseCrop(crop);
    if (!area.empty()) options.area = ParseArea(area);
    options.rotation = ParseRotation(rotate.empty() ? "0" : rotate);
    if (border < 0 || border > 255)
        throw CUsageError("--border " + std::to_string(border) + ": give a value 0..255");
    options.border = static_cast<uint8_t>(border);
    options.workingProfile = workingProfile;
    if (!workingProfile.empty()) RequireWorkingProfile(workingProfile);
    return options;
}

CPreparedPhoto PreparePhoto(const std::string& path, const CPhotoOptions& options) {
    CPreparedPhoto prepared;
    if (options.KeepsGeometry() && IsFrameBitmap(path)) {
        prepared.passedThrough = true;
        prepared.frame = ReadBitmap(path);
        prepared.placement = PlacePhoto(kImageWidth, kImageHeight, options);
        prepared.report.push_back("photo: " + path +
                                  ": a 2560 x 2048 24-bit bitmap, handed to the library unchanged "
                                  "(taken as already in the working colour space)");
        return prepared;
    }
    if (!ReadsPhotos())
        throw CHostError(path +
                         ": this build of kavrel-host reads no photo files, only 2560 x 2048 "
                         "24-bit bitmaps placed unchanged (it was built without photo input)");
    const std::unique_ptr<CPhotoDecoder> decoder = OpenPhoto(path);
    prepared.placement = PlacePhoto(decoder->Width(), decoder->Height(), options);
    std::string colours;
    const CPicture photo = decoder->Render(prepared.placement, options, colours);
    prepared.frame = FrameOf(photo, prepared.placement.target, options.border);
    prepared.report.push_back("photo: " + path + ": " + decoder->Description());
    prepared.report.push_back("colours: " + colours);
    prepared.report.push_back("placement: " + PlacementLine(prepared.placement, options,
                                                            decoder->Width(), decoder->Height()));
    return prepared;
}

CPicture PreviewPicture(const CPreparedPhoto& photo) {
    constexpr int32_t kShrink = 4;
    CPicture preview(kImageWidth / kShrink, kImageHeight / kShrink);
    // Each preview pixel the mean of its 4 x 4 frame pixels.
    for (int32_t y = 0; y < preview.Height(); ++y)
        for (int32_t x = 0; x < preview.Width(); ++x)
            for (int channel = 0; channel < 3; ++channel) {
                unsigned sum = 0;
                for (int32_t dy = 0; dy < kShrink; ++dy)
                    for (int32_t dx = 0; dx < kShrink; ++dx)
                        sum += photo.frame.Pixel(x * kShrink + dx, y * kShrink + dy)[channel];
                preview.Pixel(x, y)[channel] =
                    static_cast<uint8_t>((sum + kShrink * kShrink / 2) / (kShrink * kShrink));
            }
    // The photo's place outlined in red, one preview pixel wide, on its outermost pixels.
    const CRect& t = photo.placement.target;
    const int32_t left = t.x / kShrink, top = t.y / kShrink;
    const int32_t right = (t.x + t.width - 1) / kShrink, bottom = (t.y + t.height - 1) / kShrink;
    for (int32_t x = left; x <= right; ++x) {
        preview.SetColour(x, top, 0, 0, 255);
        preview.SetColour(x, bottom, 0, 0, 255);
    }
    for (int32_t y = top; y <= bottom; ++y) {
        preview.SetColour(left, y, 0, 0, 255);
        preview.SetColour(right, y, 0, 0, 255);
    }
    return preview;
}

}  // namespace host
