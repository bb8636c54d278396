#include "base/ByteIO.h"

namespace kavrel {

void CByteWriter::Bytes(const void* data, size_t size) {
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    m_data.insert(m_data.end(), bytes, bytes + size);
}

void CByteWriter::LE16(uint16_t value) {
    m_data.push_back(static_cast<uint8_t>(value));
    m_data.push_back(static_cast<uint8_t>(value >> 8));
}

void CByteWriter::LE32(uint32_t value) {
    LE16(static_cast<uint16_t>(value));
    LE16(static_cast<uint16_t>(value >> 16));
}

}  // namespace kavrel
