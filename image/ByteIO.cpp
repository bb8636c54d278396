#include "image/ByteIO.h"

#include "platform/File.h"

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

std::string TemporaryPathFor(const std::string& path) { return path + ".kavrel-new"; }

bool SaveFileSafely(const std::string& path, const std::function<bool(platform::CFile&)>& writer) {
    if (path.empty()) return false;
    const std::string temporary = TemporaryPathFor(path);
    platform::CFile file;
    if (!file.Create(temporary)) return false;
    bool complete = false;
    try {
        complete = writer(file);
    } catch (...) {
        // The exception goes on to the caller, the half-written file does not stay behind.
        file.Close();
        platform::RemoveFile(temporary);
        throw;
    }
    complete = file.Close() && complete;
    if (complete && platform::MoveFileOver(temporary, path)) return true;
    platform::RemoveFile(temporary);
    return false;
}

}  // namespace kavrel
