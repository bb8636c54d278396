#include "Readings.h"

#include <cmath>
#include <sstream>

#include "Arguments.h"
#include "Errors.h"
#include "Files.h"

namespace host {

namespace {

// The text of a UTF-16 file, little- or big-endian, as 8-bit characters: ASCII as it is, every
// other character as '?' (which only a comment can hold without making a reading unreadable).
std::string FromUtf16(const std::string& path, const std::vector<uint8_t>& bytes, size_t start,
                      bool littleEndian) {
    if ((bytes.size() - start) % 2 != 0)
        throw CHostError(path + ": UTF-16 text with an odd number of bytes (cut short?)");
    std::string text;
    text.reserve((bytes.size() - start) / 2);
    for (size_t i = start; i + 1 < bytes.size(); i += 2) {
        const unsigned unit =
            littleEndian ? bytes[i] | bytes[i + 1] << 8 : bytes[i] << 8 | bytes[i + 1];
        text += unit < 0x80 ? static_cast<char>(unit) : '?';
    }
    return text;
}

// The file's text. Besides plain text and UTF-8 (with or without its byte-order mark), UTF-16
// is read, as some spreadsheet programs and densitometer tools save text: by its byte-order mark,
// or without one when the first character's high byte is 0. Any other file holding NUL
// characters is refused rather than read as garbage.
std::string ReadingsText(const std::string& path) {
    const std::vector<uint8_t> bytes = ReadWholeFile(path, kMaxReadingsFileBytes);
    std::string text;
    if (bytes.size() >= 2 && bytes[0] == 0xFF && bytes[1] == 0xFE) {
        text = FromUtf16(path, bytes, 2, true);
    } else if (bytes.size() >= 2 && bytes[0] == 0xFE && bytes[1] == 0xFF) {
        text = FromUtf16(path, bytes, 2, false);
    } else if (bytes.size() >= 2 && bytes[0] != 0 && bytes[1] == 0) {
        text = FromUtf16(path, bytes, 0, true);
    } else if (bytes.size() >= 2 && bytes[0] == 0 && bytes[1] != 0) {
        text = FromUtf16(path, bytes, 0, false);
    } else {
        text.assign(bytes.begin(), bytes.end());
        if (text.compare(0, 3, "\xEF\xBB\xBF") == 0) text.erase(0, 3);
    }
    if (text.find('\0') != std::string::npos)
        throw CHostError(path +
                         ": not a text file of readings (it holds NUL characters); save it as "
                         "plain text or CSV");
    return text;
}

uint16_t ParseReading(const std::string& where, const std::string& field, bool densities,
                      bool decimalCommas) {
    if (densities) {
        std::string number = field;
        size_t commas = 0;
        if (decimalCommas)
            for (char& c : number)
                if (c == ',') {
                    c = '.';
                    ++commas;
                }
        double density = 0;
        if (commas > 1)
            throw CHostError(where + "'" + field +
                             "' is not a number (readings with decimal commas must be separated "
                             "by semicolons, tabs, spaces or line breaks)");
        if (!ParseNumber(number, density))
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

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

}  // namespace

std::vector<uint16_t> ReadDensitometerFile(const std::string& path, bool densities) {
    std::vector<std::string> lines;
    {
        std::istringstream text(ReadingsText(path));
        for (std::string line; std::getline(text, line);) {
            const size_t comment = line.find('#');
            if (comment != std::string::npos) line.resize(comment);
            lines.push_back(line);
        }
    }
    // Densities written with a decimal comma (0,10), as spreadsheets in many languages write
    // them: a comma between two digits belongs to the number when no reading has a point.
    bool decimalCommas = densities;
    for (const std::string& line : lines)
        if (line.find('.') != std::string::npos) decimalCommas = false;

    std::vector<uint16_t> readings;
    for (size_t number = 1; number <= lines.size(); ++number) {
        const std::string& line = lines[number - 1];
        const std::string where = path + " line " + std::to_string(number) + ": ";
        std::string field;
        for (size_t i = 0; i <= line.size(); ++i) {
            const char c = i < line.size() ? line[i] : ',';
            const bool inNumber = decimalCommas && c == ',' && i > 0 && IsDigit(line[i - 1]) &&
                                  i + 1 < line.size() && IsDigit(line[i + 1]);
            if (!inNumber && (c == ',' || c == ';' || c == '\t' || c == ' ' || c == '\r')) {
                if (!field.empty()) {
                    if (readings.size() == kReadingCount)
                        throw CHostError(where + "more than " + std::to_string(kReadingCount) +
                                         " readings");
                    readings.push_back(ParseReading(where, field, densities, decimalCommas));
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
