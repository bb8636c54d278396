// CBitmapImage: an uncompressed 24-bit Windows bitmap in memory, its information header and its
// pixel bytes (bottom row first), owned when loaded from a file or borrowed from a host.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>

#include "base/BitmapFile.h"
#include "base/BitmapInfoHeader.h"
#include "base/NonCopyable.h"

namespace platform {
class CFile;
}

class CBitmapImage : private kavrel::CNonCopyable {
public:
    // Result codes of Load.
    enum {
        kLoaded = 0,
        kUnreadable = 1,    // cannot be opened or read, or not a bitmap file
        kTruncated = 2,     // fewer pixel bytes than the header's size needs
        kOutOfMemory = 3,
        kUnsupported = 4,   // not a single-plane 24-bit bitmap, or of an unusable size
    };

    CBitmapImage();
    virtual ~CBitmapImage();

    int32_t Load(const std::string& path);
    // The first half of Load, for readers that take the pixels a few rows at a time: opens the
    // file, reads and checks the headers as Load does (with the same results) and leaves the file
    // at the first of the `bytes` pixel bytes that Load would read. The image then describes the
    // file's pixels but holds none.
    int32_t OpenPixels(const std::string& path, platform::CFile& file, int64_t& bytes);
    // Describes a caller-owned bottom-up 24-bit buffer; the image never releases it.
    uint8_t* Attach(int32_t width, int32_t height, uint8_t* pixels);

    const uint8_t* Pixels() const { return m_pPixels; }
    const CBitmapInfoHeader& Header() const { return m_Header; }
    bool OwnsPixels() const { return m_pOwnedPixels != nullptr; }

    // Bytes of the pixel array that the header describes (stride x |height|), or -1 when the
    // width or height is 0, the width negative, or the size too large to hold.
    int64_t PixelBytes() const;

    // Bytes from one stored row to the next: 3 x width rounded up to a multiple of 4.
    static int64_t RowStride(int32_t width) { return kavrel::BitmapRowStride(width); }

private:
    void ReleasePixels();

    const uint8_t* m_pPixels;
    CBitmapInfoHeader m_Header;
    std::unique_ptr<uint8_t[]> m_pOwnedPixels;
};
