#include "history/CalibrationLog.h"

#include <algorithm>
#include <sstream>

#include "common/Errors.h"
#include "files/Files.h"
#include "files/Paths.h"

namespace host {

namespace {

constexpr uint64_t kMaxLogBytes = 1 << 20;
// The reference and the 46 patches; the 48th reading is unused.
constexpr size_t kUsedReadings = 47;

// A record's fields are separated by tabs; a name never holds one or a line break.
std::string Field(std::string text) {
    for (char& c : text)
        if (c == '\t' || c == '\n' || c == '\r') c = ' ';
    return text;
}

}  // namespace

std::string Digest(const std::vector<uint8_t>& bytes) {
    uint64_t hash = 14695981039346656037ull;
    for (const uint8_t byte : bytes) hash = (hash ^ byte) * 1099511628211ull;
    static const char kDigits[] = "0123456789abcdef";
    std::string text(16, '0');
    for (int i = 15; i >= 0; --i, hash >>= 4) text[static_cast<size_t>(i)] = kDigits[hash & 15];
    return text;
}

std::string ReadingsDigest(const std::vector<uint16_t>& readings) {
    // The last reading is unused: a file that leaves it out holds the same readings.
    const size_t used = std::min<size_t>(readings.size(), kUsedReadings);
    std::vector<uint8_t> bytes;
    for (const uint16_t reading : std::vector<uint16_t>(readings.begin(), readings.begin() + used)) {
        bytes.push_back(static_cast<uint8_t>(reading & 0xFF));
        bytes.push_back(static_cast<uint8_t>(reading >> 8));
    }
    return Digest(bytes);
}

std::string CCalibrationLog::PathIn(const std::string& historyFolder) {
    return PathInFolder(historyFolder, "made-by.txt");
}

CCalibrationLog::CCalibrationLog(const std::string& historyFolder)
    : m_strPath(PathIn(historyFolder)) {}

std::vector<CMadeBy> CCalibrationLog::Records() const {
    std::vector<CMadeBy> records;
    const std::optional<std::vector<uint8_t>> bytes = TryReadWholeFile(m_strPath, kMaxLogBytes);
    if (!bytes) return records;
    std::istringstream text(std::string(bytes->begin(), bytes->end()));
    for (std::string line; std::getline(text, line);) {
        std::istringstream fields(line);
        CMadeBy record;
        if (std::getline(fields, record.time, '\t') && std::getline(fields, record.input, '\t') &&
            std::getline(fields, record.result, '\t') && std::getline(fields, record.name))
            records.push_back(record);
    }
    return records;
}

std::optional<CMadeBy> CCalibrationLog::MadeThis(const std::vector<uint8_t>& contents) const {
    const std::string digest = Digest(contents);
    const std::vector<CMadeBy> records = Records();
    for (auto record = records.rbegin(); record != records.rend(); ++record)
        if (record->result == digest) return *record;
    return std::nullopt;
}

void CCalibrationLog::Add(const std::string& input, const std::string& name,
                          const std::vector<uint8_t>& contents, const std::string& time) {
    std::vector<CMadeBy> records = Records();
    records.push_back({time, input, Digest(contents), name});
    const size_t first = records.size() > kRecords ? records.size() - kRecords : 0;
    std::string text;
    for (size_t i = first; i < records.size(); ++i)
        text += Field(records[i].time) + "\t" + Field(records[i].input) + "\t" +
                Field(records[i].result) + "\t" + Field(records[i].name) + "\n";
    const CSaveResult saved = ReplaceFileDurably(m_strPath, std::vector<uint8_t>(text.begin(), text.end()));
    if (saved == CSaveResult::Failed)
        throw CHostError(m_strPath + ": cannot be written (the record of what made each version)");
    if (saved == CSaveResult::NotFlushed) throw CHostError(m_strPath + NotFlushedReason());
}

}  // namespace host
