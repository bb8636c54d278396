#include "image/BitmapImage.h"

#include <algorithm>
#include <cstring>

#include "base/Allocation.h"
#include "base/ByteIO.h"
#include "platform/File.h"

namespace {

constexpr size_t kFileHeaderSize = 14;
// Pixel data beyond this (a 9000 x 9000 scan) is refused before it is allocated or read: far more
// than an image (15 MB) or a scan of the test exposure needs.
constexpr int64_t kMaxLoadedBytes = 256 * 1024 * 1024;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kCoreHeaderSize = 12;
// The largest pixel array a 32-bit process can be asked to hold.
constexpr int64_t kMaxPixelBytes = 0x7FFFFFFF;

CBitmapInfoHeader ParseInfoHeader(const uint8_t* b, uint32_t size) {
    CBitmapInfoHeader h{};
    if (size == kCoreHeaderSize) {
        // The older core header: 16-bit width, height, planes and bit count, nothing else.
        h.biSize = size;
        h.biWidth = kavrel::ReadLE16(b + 4);
        h.biHeight = kavrel::ReadLE16(b + 6);
        h.biPlanes = kavrel::ReadLE16(b + 8);
        h.biBitCount = kavrel::ReadLE16(b + 10);
        return h;
    }
    h.biSize = kavrel::ReadLE32(b);
    h.biWidth = static_cast<int32_t>(kavrel::ReadLE32(b + 4));
    h.biHeight = static_cast<int32_t>(kavrel::ReadLE32(b + 8));
    h.biPlanes = kavrel::ReadLE16(b + 12);
    h.biBitCount = kavrel::ReadLE16(b + 14);
    h.biCompression = kavrel::ReadLE32(b + 16);
    h.biSizeImage = kavrel::ReadLE32(b + 20);
    h.biXPelsPerMeter = static_cast<int32_t>(kavrel::ReadLE32(b + 24));
    h.biYPelsPerMeter = static_cast<int32_t>(kavrel::ReadLE32(b + 28));
    h.biClrUsed = kavrel::ReadLE32(b + 32);
    h.biClrImportant = kavrel::ReadLE32(b + 36);
    return h;
}

}  // namespace

int64_t CBitmapImage::PixelBytes() const {
    const int64_t height = m_Header.biHeight < 0 ? -static_cast<int64_t>(m_Header.biHeight)
                                                 : m_Header.biHeight;
    if (m_Header.biWidth <= 0 || height == 0) return -1;
    const int64_t stride = RowStride(m_Header.biWidth);
    if (stride > kMaxPixelBytes / height) return -1;
    return stride * height;
}

CBitmapImage::CBitmapImage() : m_pPixels(nullptr), m_Header{} {}

CBitmapImage::~CBitmapImage() = default;

void CBitmapImage::ReleasePixels() {
    m_pOwnedPixels.reset();
    m_pPixels = nullptr;
}

int32_t CBitmapImage::OpenPixels(const std::string& path, platform::CFile& file, int64_t& bytes) {
    if (!file.OpenRead(path)) return kUnreadable;
    const int64_t length = file.Length();

    uint8_t fileHeader[kFileHeaderSize];
    if (file.Read(fileHeader, sizeof fileHeader) != sizeof fileHeader) return kUnreadable;
    if (fileHeader[0] != 'B' || fileHeader[1] != 'M') return kUnreadable;
    const uint32_t pixelOffset = kavrel::ReadLE32(fileHeader + 10);

    uint8_t info[kInfoHeaderSize] = {};
    if (file.Read(info, 4) != 4) return kUnreadable;
    const uint32_t headerSize = kavrel::ReadLE32(info);
    const size_t wanted = std::max<size_t>(4, std::min(headerSize, kInfoHeaderSize));
    if (file.Read(info + 4, wanted - 4) != wanted - 4) return kUnreadable;
    m_Header = ParseInfoHeader(info, headerSize);

    if (m_Header.biPlanes != 1 || m_Header.biBitCount != 24) return kUnsupported;
    const int64_t needed = PixelBytes();
    if (needed < 0) return kUnsupported;

    ReleasePixels();
    const int64_t available = length - static_cast<int64_t>(pixelOffset);
    // Compressed data has no fixed size; nothing reads it (frames and scans refuse it).
    const bool uncompressed = m_Header.biCompression == 0;
    if (available <= 0 || (uncompressed && available < needed)) return kTruncated;
    bytes = uncompressed ? needed : available;
    // Far beyond any image or scan this library is for: refused before anything is allocated.
    if (bytes > kMaxLoadedBytes) return kUnsupported;
    if (!file.Seek(pixelOffset)) return kTruncated;
    return kLoaded;
}

int32_t CBitmapImage::Load(const std::string& path) {
    platform::CFile file;
    int64_t bytes = 0;
    const int32_t code = OpenPixels(path, file, bytes);
    if (code != kLoaded) return code;
    std::unique_ptr<uint8_t[]> pixels = kavrel::TryAllocate<uint8_t>(static_cast<size_t>(bytes));
    if (!pixels) return kOutOfMemory;
    if (file.Read(pixels.get(), static_cast<size_t>(bytes)) != static_cast<size_t>(bytes))
        return kTruncated;
    m_pOwnedPixels = std::move(pixels);
    m_pPixels = m_pOwnedPixels.get();
    return kLoaded;
}

uint8_t* CBitmapImage::Attach(int32_t width, int32_t height, uint8_t* pixels) {
    ReleasePixels();
    m_Header = CBitmapInfoHeader{};
    m_Header.biSize = kInfoHeaderSize;
    m_Header.biWidth = width;
    m_Header.biHeight = height;
    m_Header.biPlanes = 1;
    m_Header.biBitCount = 24;
    m_Header.biXPelsPerMeter = 10000;
    m_Header.biYPelsPerMeter = 10000;
    m_pPixels = pixels;
    return pixels;
}
