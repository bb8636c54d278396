#include "Readings.h"

#include <cmath>
#include <sstream>

#include "Arguments.h"
#include "Errors.h"
#include "Files.h"

namespace host {

namespace {

uint16_t ParseReading(const std::string& path, int line, const std::string& field, bool densities) {
    const std::string where = path + " line " + std::to_string(line) + ": ";
    if (densities) {
        double density = 0;
        if (!ParseNumber(field, density))
            throw CHostError(where + "'" + field + "' is not a number");
        const double hundredths = std::round(density * 100);
        if (hundredths < 0 || hundredths > 65535)
            throw CHostError(where + "density " + field + " is out of range (0 to 655.35)");
        return static_cast<uint16_t>(hundredths);
    }
    long long value = 0;
    if (!ParseInteger(field, value)) {
        double number = 0;
        if (ParseNumber(field, number))
            throw CHostError(where + "'" + field +
                             "' is not a whole number of hundredths (150 for a density of 1.50; "
                             "give --density to read densities like 1.50)");
        throw CHostError(where + "'" + field + "' is not a number");
    }
    if (value < 0 || value > 65535)
        throw CHostError(where + "reading " + field + " is out of range (0 to 65535 hundredths)");
    return static_cast<uint16_t>(value);
}

}  // namespace

std::vector<uint16_t> ReadDensitometerFile(const std::string& path, bool densities) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path, kMaxReadingsFileBytes);
    std::string text(bytes.begin(), bytes.end());
    if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    std::vector<uint16_t> readings;
    std::istringstream lines(text);
    std::string line;
    for (int number = 1; std::getline(lines, line); ++number) {
        const size_t comment = line.find('#');
        if (comment != std::string::npos) line.resize(comment);
        std::string field;
        for (size_t i = 0; i <= line.size(); ++i) {
            const char c = i < line.size() ? line[i] : ',';
            if (c == ',' || c == ';' || c == '\t' || c == ' ' || c == '\r') {
                if (!field.empty()) {
                    if (readings.size() == kReadingCount)
                        throw CHostError(path + " line " + std::to_string(number) + ": more than " +
                                         std::to_string(kReadingCount) + " readings");
                    readings.push_back(ParseReading(path, number, field, densities));
                }
                field.clear();
            } else {
                field += c;
            }
        }
    }
    if (readings.size() == kReadingCount - 1) readings.push_back(0);
    if (readings.size() != kReadingCount)
        throw CHostError(path + ": " + std::to_string(readings.size()) +
                         " readings; 48 are needed (reading 0 the reference, 1 to 46 the "
                         "patches, 47 unused), or 47 without the unused last one");
    return readings;
}

}  // namespace host
