// The bitmap file: a 14-byte file header ("BM", the file size, two reserved words, the offset of
// the pixels), an information header (the 40-byte one, or the older 12-byte core header), then
// rows of 3-byte pixels, each row padded to a multiple of 4 bytes. Header-only, so that the host
// reads a bitmap by the library's own rules.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

#include "base/BitmapInfoHeader.h"
#include "base/ByteIO.h"

namespace kavrel {

constexpr size_t kBitmapFileHeaderSize = 14;
constexpr uint32_t kBitmapInfoHeaderSize = 40;
constexpr uint32_t kBitmapCoreHeaderSize = 12;
// Pixel data beyond this (a 9000 x 9000 scan) is refused before it is allocated or read: far more
// than an image (15 MB) or a scan of the test exposure needs.
constexpr int64_t kBitmapMaxLoadedBytes = 256 * 1024 * 1024;
// The largest pixel array a 32-bit process can be asked to hold.
constexpr int64_t kBitmapMaxPixelBytes = 0x7FFFFFFF;

struct CBitmapHeaders {
    uint32_t pixelOffset = 0;
    CBitmapInfoHeader info{};
};

// The bytes of a row of width 24-bit pixels, padding included.
constexpr int64_t BitmapRowStride(int32_t width) {
    return (3 * static_cast<int64_t>(width) + 3) & ~int64_t{3};
}

// The information header from the bytes the file holds of it (size of them, the rest zero):
// the core header's 16-bit fields, or the 40-byte header's fields.
inline CBitmapInfoHeader ParseBitmapInfoHeader(const uint8_t (&bytes)[kBitmapInfoHeaderSize],
                                               uint32_t size) {
    CByteReader reader(bytes);
    CBitmapInfoHeader h{};
    if (size == kBitmapCoreHeaderSize) {
        h.biSize = reader.LE32();
        h.biWidth = reader.LE16();
        h.biHeight = reader.LE16();
        h.biPlanes = reader.LE16();
        h.biBitCount = reader.LE16();
        return h;
    }
    h.biSize = reader.LE32();
    h.biWidth = static_cast<int32_t>(reader.LE32());
    h.biHeight = static_cast<int32_t>(reader.LE32());
    h.biPlanes = reader.LE16();
    h.biBitCount = reader.LE16();
    h.biCompression = reader.LE32();
    h.biSizeImage = reader.LE32();
    h.biXPelsPerMeter = static_cast<int32_t>(reader.LE32());
    h.biYPelsPerMeter = static_cast<int32_t>(reader.LE32());
    h.biClrUsed = reader.LE32();
    h.biClrImportant = reader.LE32();
    return h;
}

// Reads both headers; false when the file does not begin with "BM" or ends within them. Of an
// information header of another size than 40 or 12, the fields that its size covers are read
// and the others are 0.
inline bool ReadBitmapHeaders(CByteReader& reader, CBitmapHeaders& headers) {
    uint8_t magic[2] = {};
    reader.Bytes(magic, sizeof magic);
    reader.Skip(8);  // the file size and the reserved words
    const uint32_t pixelOffset = reader.LE32();
    if (reader.RanOut() || magic[0] != 'B' || magic[1] != 'M') return false;
    uint8_t info[kBitmapInfoHeaderSize] = {};
    reader.Bytes(info, 4);
    if (reader.RanOut()) return false;
    const uint32_t size = ReadLE32(info);
    const size_t present = std::max<size_t>(4, std::min(size, kBitmapInfoHeaderSize));
    reader.Bytes(info + 4, present - 4);
    if (reader.RanOut()) return false;
    headers.pixelOffset = pixelOffset;
    headers.info = ParseBitmapInfoHeader(info, size);
    return true;
}

// The bytes of the pixel rows, padding included, or -1 for a size no pixels can have: width not
// positive, height 0, or more than a 32-bit process can hold.
constexpr int64_t BitmapPixelBytes(const CBitmapInfoHeader& h) {
    const int64_t rows = h.biHeight < 0 ? -static_cast<int64_t>(h.biHeight) : h.biHeight;
    if (h.biWidth <= 0 || rows == 0) return -1;
    const int64_t stride = BitmapRowStride(h.biWidth);
    if (stride > kBitmapMaxPixelBytes / rows) return -1;
    return stride * rows;
}

// Writes the headers of an uncompressed bottom-up 24-bit bitmap of width x height pixels, whose
// rows follow the headers directly.
inline void WriteBitmapHeaders(CByteWriter& bytes, int32_t width, int32_t height,
                               int32_t pixelsPerMetre) {
    const uint32_t headerBytes = kBitmapFileHeaderSize + kBitmapInfoHeaderSize;
    const uint32_t pixelBytes = static_cast<uint32_t>(BitmapRowStride(width) * height);
    bytes.Bytes("BM", 2);
    bytes.LE32(headerBytes + pixelBytes);
    bytes.LE32(0);
    bytes.LE32(headerBytes);
    bytes.LE32(kBitmapInfoHeaderSize);
    bytes.LE32(static_cast<uint32_t>(width));
    bytes.LE32(static_cast<uint32_t>(height));
    bytes.LE16(1);
    bytes.LE16(24);
    bytes.LE32(0);  // uncompressed
    bytes.LE32(pixelBytes);
    bytes.LE32(static_cast<uint32_t>(pixelsPerMetre));
    bytes.LE32(static_cast<uint32_t>(pixelsPerMetre));
    bytes.LE32(0);
    bytes.LE32(0);
}

}  // namespace kavrel
