#include "image/Lut.h"

#include "base/Allocation.h"
#include "base/ByteIO.h"
#include "base/LutFile.h"
#include "platform/SafeSave.h"
#include "image/Frame.h"
#include "platform/File.h"
#include "platform/MessageBox.h"

namespace {
constexpr int32_t kMaxEntries = kavrel::kLutFileMaxEntries;
constexpr int32_t kDefaultStep = kavrel::kLutDefaultTop;
}  // namespace

CLut::CLut() : m_bShowErrors(0), m_nCount(0), m_nLastInput(0), m_nFirstInput(0) {}

CLut::~CLut() = default;

bool CLut::Allocate256() {
    m_nFirstInput = 0;
    m_nLastInput = 255;
    m_nCount = kMaxEntries;
    m_pTable.reset();
    m_pTable = kavrel::TryAllocate<int16_t>(kMaxEntries);
    return HasTable();
}

void CLut::MakeLinear(int32_t step) {
    if (!Allocate256()) return;
    const int32_t s = static_cast<int16_t>(step);
    for (int32_t i = 0; i < kMaxEntries; ++i) m_pTable[i] = static_cast<int16_t>(i * s / 255);
}

void CLut::MakeInverse(int32_t step) {
    if (!Allocate256()) return;
    const int32_t s = static_cast<int16_t>(step);
    for (int32_t i = 0; i < kMaxEntries; ++i) m_pTable[255 - i] = static_cast<int16_t>(i * s / 255);
}

void CLut::Load(const std::string& path) {
    m_pTable.reset();
    platform::CFile file;
    if (!file.OpenRead(path)) {
        MakeInverse(kDefaultStep);
        return;
    }
    uint8_t head[kavrel::kLutFileHeaderSize];
    kavrel::CByteReader headReader(std::span<const uint8_t>(head, file.Read(head, sizeof head)));
    const std::optional<kavrel::CLutFileHeader> header = kavrel::ReadLutFileHeader(headReader);
    if (!header || !kavrel::IsUsableLutFile(*header, file.Length())) {
        MakeInverse(kDefaultStep);
        return;
    }
    const int32_t count = header->count;
    m_nCount = count;
    m_nFirstInput = header->firstInput;
    m_nLastInput = header->lastInput;
    std::unique_ptr<int16_t[]> table = kavrel::TryAllocate<int16_t>(static_cast<size_t>(count));
    if (!table) return;
    uint8_t entries[2 * kMaxEntries];
    kavrel::CByteReader reader(
        std::span<const uint8_t>(entries, file.Read(entries, 2 * static_cast<size_t>(count))));
    for (int32_t i = 0; i < count; ++i) table[i] = static_cast<int16_t>(reader.LE16());
    if (reader.RanOut()) {
        MakeInverse(kDefaultStep);
        return;
    }
    m_pTable = std::move(table);
}

void CLut::Save(const std::string& path) const {
    if (!HasTable()) return;
    kavrel::CByteWriter bytes;
    kavrel::WriteLutFileHeader(bytes, {m_nCount, m_nFirstInput, m_nLastInput});
    for (int32_t i = 0; i < m_nCount; ++i) bytes.LE16(static_cast<uint16_t>(m_pTable[i]));
    kavrel::SaveFileSafely(path, [&](platform::CFile& file) {
        return file.Write(bytes.Data().data(), bytes.Data().size());
    });
}

void CLut::Apply(CFrame& frame) const {
    if (!frame.HasData() || m_nFirstInput < 0 || !HasTable() || frame.m_nCount <= 0) return;
    uint16_t* samples = frame.m_pData.get();
    const int16_t* table = m_pTable.get();
    // The index is the sample read as signed; the unsigned comparison also refuses negatives.
    const uint32_t count = static_cast<uint32_t>(m_nCount);
    for (int32_t i = 0; i < frame.m_nCount; ++i) {
        const uint32_t index = static_cast<uint32_t>(static_cast<int16_t>(samples[i]));
        if (index < count) samples[i] = static_cast<uint16_t>(table[index]);
    }
}

void CLut::ShowError(const std::string& text) const {
    if (m_bShowErrors == 1) platform::ShowMessageBox(text, platform::MessageStyle::Failure);
}
