#include "image/BitmapImage.h"

#include <algorithm>
#include <cstring>

#include "base/Allocation.h"
#include "base/BitmapFile.h"
#include "base/ByteIO.h"
#include "platform/File.h"

int64_t CBitmapImage::PixelBytes() const { return kavrel::BitmapPixelBytes(m_Header); }

CBitmapImage::CBitmapImage() : m_pPixels(nullptr), m_Header{} {}

CBitmapImage::~CBitmapImage() = default;

void CBitmapImage::ReleasePixels() {
    m_pOwnedPixels.reset();
    m_pPixels = nullptr;
}

int32_t CBitmapImage::OpenPixels(const std::string& path, platform::CFile& file, int64_t& bytes) {
    if (!file.OpenRead(path)) return kUnreadable;
    const int64_t length = file.Length();

    uint8_t head[kavrel::kBitmapFileHeaderSize + kavrel::kBitmapInfoHeaderSize];
    kavrel::CByteReader reader(std::span<const uint8_t>(head, file.Read(head, sizeof head)));
    kavrel::CBitmapHeaders headers;
    if (!kavrel::ReadBitmapHeaders(reader, headers)) return kUnreadable;
    const uint32_t pixelOffset = headers.pixelOffset;
    m_Header = headers.info;

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
    if (bytes > kavrel::kBitmapMaxLoadedBytes) return kUnsupported;
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
    m_Header.biSize = kavrel::kBitmapInfoHeaderSize;
    m_Header.biWidth = width;
    m_Header.biHeight = height;
    m_Header.biPlanes = 1;
    m_Header.biBitCount = 24;
    m_Header.biXPelsPerMeter = 10000;
    m_Header.biYPelsPerMeter = 10000;
    m_pPixels = pixels;
    return pixels;
}
