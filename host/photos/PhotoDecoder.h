// The photo files the host reads, decoded by the system's imaging library (libvips on Linux, the
// Windows Imaging Component on Windows): the photo's size after its EXIF orientation, and its
// placed part turned, converted to the working colour space and scaled in one pass.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "photos/Placement.h"
#include "pictures/Bitmap.h"

namespace host {

// The most pixels a photo's header may claim: a larger one is refused before anything is decoded
// (a small file can claim a picture that would take all memory).
constexpr uint64_t kMaxPhotoPixels = 400'000'000;

class CPhotoDecoder {
public:
    virtual ~CPhotoDecoder() = default;
    // The photo's size turned by its EXIF orientation.
    virtual int32_t Width() const = 0;
    virtual int32_t Height() const = 0;
    // What the file holds: its format, size, sample depth and orientation, as one line.
    virtual std::string Description() const = 0;
    // The placement's source part, turned, converted to the working space (sRGB, or the options'
    // working profile) and scaled to the target's size, transparency laid over the border value.
    // colours receives what was found and done with the photo's colours, as one line. Throws
    // CHostError naming the file when the photo cannot be decoded or its colours converted.
    virtual CPicture Render(const CPlacement& placement, const CPhotoOptions& options,
                            std::string& colours) = 0;
};

// Whether this build reads photo files at all.
bool ReadsPhotos();
// Opens the photo, reading its header only. Throws CHostError naming the file when it is no image
// of a format the system reads, cannot be read, or claims more than kMaxPhotoPixels.
std::unique_ptr<CPhotoDecoder> OpenPhoto(const std::string& path);
// Throws CHostError naming the file when it is no ICC profile of an RGB space that photos can be
// converted to.
void RequireWorkingProfile(const std::string& path);
// Writes the picture as a PNG file, replacing the file only when complete.
void WritePng(const std::string& path, const CPicture& picture);

}  // namespace host
