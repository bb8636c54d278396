// What made each version of a calibration file: a calibration that replaced the file records the
// digest of its input (the readings, or the scan), the digest of the file it wrote, when, and the
// input's name, in NAME.history/made-by.txt beside the kept versions. A table or map is then known
// by its contents: the readings that made the LUT as it is now are refused a second time, since
// the library would stack their correction on top of itself. A file that no record names (from
// before the records were kept, or restored from elsewhere) is simply not compared.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "base/NonCopyable.h"

namespace host {

// A 64-bit FNV-1a digest of the bytes, as 16 hex digits: it tells inputs and files apart, it is no
// protection against anyone who makes two inputs alike on purpose.
std::string Digest(const std::vector<uint8_t>& bytes);
// The digest of the readings in hundredths that the library uses (the reference and the 46
// patches, not the unused last one), however the file wrote them.
std::string ReadingsDigest(const std::vector<uint16_t>& readings);

struct CMadeBy {
    std::string time;    // "2026-12-10 13:45:07.123 UTC"
    std::string input;   // the input's digest
    std::string result;  // the digest of the file it wrote
    std::string name;    // the input's file name as given
};

class CCalibrationLog : private kavrel::CNonCopyable {
public:
    // The records in the history folder (which need not exist).
    explicit CCalibrationLog(const std::string& historyFolder);
    virtual ~CCalibrationLog() = default;

    // The newest calibration that wrote a file of these contents, if one is recorded.
    std::optional<CMadeBy> MadeThis(const std::vector<uint8_t>& contents) const;
    // Records a calibration that wrote contents; keeps the newest kRecords records. Throws
    // CHostError when the records cannot be written.
    void Add(const std::string& input, const std::string& name,
             const std::vector<uint8_t>& contents, const std::string& time);

    static constexpr size_t kRecords = 100;
    // The file of the records in a history folder.
    static std::string PathIn(const std::string& historyFolder);

private:
    std::vector<CMadeBy> Records() const;

    std::string m_strPath;
};

}  // namespace host
