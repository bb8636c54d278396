#include "readings/Readings.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <sstream>

#include "common/Errors.h"
#include "common/Numbers.h"
#include "files/Files.h"

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

// The most a reading can be: the library reads a reading above 900 hundredths as a negative
// density, and one above 65535 does not reach it at all.
constexpr long long kMostHundredths = 65535;

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
        if (hundredths < 0 || hundredths > kMostHundredths)
            throw CHostError(where + "density " + field +
                             " is out of range (densities are 0.00 to 9.00)");
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
    if (value < 0 || value > kMostHundredths)
        throw CHostError(where + "reading " + field +
                         " is out of range (readings are 0 to 900 hundredths, 0.00 to 9.00)");
    return static_cast<uint16_t>(value);
}

bool IsDigit(char c) { return c >= '0' && c <= '9'; }

std::string Upper(std::string text) {
    for (char& c : text) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

std::string Trimmed(const std::string& text) {
    const size_t first = text.find_first_not_of(" \t\r\"");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\"") - first + 1);
}

std::vector<std::string> CommentsRemoved(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream stream(text);
    for (std::string line; std::getline(stream, line);) {
        const size_t comment = line.find('#');
        if (comment != std::string::npos) line.resize(comment);
        lines.push_back(line);
    }
    return lines;
}

// A table exported by a densitometer's software: named columns, one row per patch.
struct CTable {
    std::string kind;  // "CGATS" or "CSV"
    std::vector<std::string> columns;
    std::vector<std::vector<std::string>> rows;
    std::vector<size_t> lines;  // the line each row starts on
    bool decimalCommas = false;  // a value's comma is its decimal comma
    std::string declaredRows;    // NUMBER_OF_SETS as written, or empty
    size_t declaredLine = 0;
};

// The whitespace-separated words of a CGATS line; a quoted string is one word.
std::vector<std::string> CgatsWords(const std::string& line) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < line.size()) {
        if (std::isspace(static_cast<unsigned char>(line[i]))) {
            ++i;
            continue;
        }
        size_t end = i;
        if (line[i] == '"') {
            end = line.find('"', i + 1);
            end = end == std::string::npos ? line.size() : end + 1;
        } else {
            while (end < line.size() && !std::isspace(static_cast<unsigned char>(line[end])))
                ++end;
        }
        words.push_back(Trimmed(line.substr(i, end - i)));
        i = end;
    }
    return words;
}

bool IsCgats(const std::vector<std::string>& lines) {
    for (const std::string& line : lines) {
        const std::vector<std::string> words = CgatsWords(line);
        if (!words.empty() && words[0] == "BEGIN_DATA_FORMAT") return true;
    }
    return false;
}

// CGATS comments also start with '#', so the lines come without them.
CTable ReadCgats(const std::string& path, const std::vector<std::string>& lines) {
    CTable table;
    table.kind = "CGATS";
    enum { kHeader, kFormat, kKeywords, kData, kDone } part = kHeader;
    std::vector<std::string> values;
    std::vector<size_t> valueLines;
    for (size_t number = 1; number <= lines.size() && part != kDone; ++number) {
        const std::vector<std::string> words = CgatsWords(lines[number - 1]);
        if (part != kData && words.size() >= 2 && words[0] == "NUMBER_OF_SETS") {
            table.declaredRows = words[1];
            table.declaredLine = number;
            continue;
        }
        for (const std::string& word : words) {
            if (part == kHeader && word == "BEGIN_DATA_FORMAT") {
                part = kFormat;
            } else if (part == kFormat && word == "END_DATA_FORMAT") {
                part = kKeywords;
            } else if (part == kFormat) {
                table.columns.push_back(word);
            } else if (part == kKeywords && word == "BEGIN_DATA") {
                part = kData;
            } else if (part == kData && word == "END_DATA") {
                part = kDone;
                break;
            } else if (part == kData) {
                values.push_back(word);
                valueLines.push_back(number);
            }
        }
    }
    if (table.columns.empty())
        throw CHostError(path + ": CGATS file without fields between BEGIN_DATA_FORMAT and "
                                "END_DATA_FORMAT");
    if (part != kDone)
        throw CHostError(path + ": CGATS file without " +
                         (part == kData ? std::string("END_DATA (cut short?)")
                                        : std::string("a BEGIN_DATA ... END_DATA part")));
    if (values.size() % table.columns.size() != 0)
        throw CHostError(path + ": CGATS data of " + std::to_string(values.size()) +
                         " values do not fill rows of the " +
                         std::to_string(table.columns.size()) + " fields of BEGIN_DATA_FORMAT");
    for (size_t i = 0; i < values.size(); i += table.columns.size()) {
        table.rows.emplace_back(values.begin() + static_cast<std::ptrdiff_t>(i),
                                values.begin() + static_cast<std::ptrdiff_t>(i + table.columns.size()));
        table.lines.push_back(valueLines[i]);
    }
    return table;
}

std::vector<std::string> SplitFields(const std::string& line, char separator) {
    std::vector<std::string> fields;
    std::string field;
    std::istringstream stream(line);
    while (std::getline(stream, field, separator)) fields.push_back(Trimmed(field));
    if (!line.empty() && line.back() == separator) fields.emplace_back();
    return fields;
}

// The first line that holds anything; npos when none does.
size_t FirstLineWithText(const std::vector<std::string>& lines) {
    for (size_t i = 0; i < lines.size(); ++i)
        if (!Trimmed(lines[i]).empty()) return i;
    return std::string::npos;
}

// A CSV file whose first line names its columns: a line with a field that is no number.
bool HasHeaderLine(const std::vector<std::string>& lines) {
    const size_t first = FirstLineWithText(lines);
    if (first == std::string::npos) return false;
    for (const std::string& word : CgatsWords(lines[first])) {
        for (const std::string& field : SplitFields(word, word.find(';') != std::string::npos ? ';' : ','))
            if (!field.empty() && !IsDigit(field[0]) && field[0] != '-' && field[0] != '+' &&
                field[0] != '.')
                return true;
    }
    return false;
}

CTable ReadCsv(const std::vector<std::string>& lines) {
    CTable table;
    table.kind = "CSV";
    const size_t first = FirstLineWithText(lines);
    const std::string& header = lines[first];
    // Spreadsheets that write decimal commas separate their fields with semicolons.
    const char separator = header.find('\t') != std::string::npos  ? '\t'
                           : header.find(';') != std::string::npos ? ';'
                                                                    : ',';
    table.decimalCommas = separator != ',';
    table.columns = SplitFields(header, separator);
    for (size_t i = first + 1; i < lines.size(); ++i) {
        if (Trimmed(lines[i]).empty()) continue;
        table.rows.push_back(SplitFields(lines[i], separator));
        table.lines.push_back(i + 1);
    }
    return table;
}

// How a column's values are read.
enum class CColumnKind { Densities, Reflectance, Plain };

CColumnKind KindOf(const std::string& column) {
    const std::string name = Upper(column);
    if (name == "XYZ_Y") return CColumnKind::Reflectance;
    if (name.compare(0, 2, "D_") == 0 || name.find("DENS") != std::string::npos)
        return CColumnKind::Densities;
    return CColumnKind::Plain;
}

bool IsIdentifier(const std::string& column) {
    const std::string name = Upper(column);
    for (const char* id : {"SAMPLE_ID", "SAMPLE_NAME", "SAMPLE", "ID", "PATCH", "STEP", "NR", "NO",
                           "INDEX", "NUMBER"})
        if (name == id) return true;
    return false;
}

std::string ColumnList(const CTable& table) {
    std::string list;
    for (const std::string& column : table.columns) list += (list.empty() ? "" : ", ") + column;
    return list;
}

// The column the readings come from: the one asked for, else D_VIS, else XYZ_Y, else the only
// column named a density, else the only density column (D_...), else the only column that is no
// patch number.
size_t ChosenColumn(const std::string& path, const CTable& table, const std::string& channel) {
    auto find = [&](const std::string& name) {
        for (size_t i = 0; i < table.columns.size(); ++i)
            if (Upper(table.columns[i]) == Upper(name)) return i;
        return std::string::npos;
    };
    if (!channel.empty()) {
        const size_t column = find(channel);
        if (column == std::string::npos)
            throw CHostError(path + ": the " + table.kind + " file has no column " + channel +
                             " (--channel); its columns: " + ColumnList(table));
        return column;
    }
    for (const char* preferred : {"D_VIS", "XYZ_Y"}) {
        const size_t column = find(preferred);
        if (column != std::string::npos) return column;
    }
    std::vector<size_t> named, densities, values;
    for (size_t i = 0; i < table.columns.size(); ++i) {
        if (Upper(table.columns[i]).find("DENS") != std::string::npos) named.push_back(i);
        if (KindOf(table.columns[i]) == CColumnKind::Densities) densities.push_back(i);
        if (!IsIdentifier(table.columns[i])) values.push_back(i);
    }
    if (named.size() == 1) return named[0];
    if (densities.size() == 1) return densities[0];
    if (densities.empty() && values.size() == 1) return values[0];
    throw CHostError(path + ": which column of the " + table.kind +
                     " file holds the readings? Give one with --channel (its columns: " +
                     ColumnList(table) + ")");
}

uint16_t ReflectanceReading(const std::string& where, const std::string& field,
                            bool decimalCommas) {
    std::string number = field;
    if (decimalCommas) std::replace(number.begin(), number.end(), ',', '.');
    double percent = 0;
    if (!ParseNumber(number, percent)) throw CHostError(where + "'" + field + "' is not a number");
    const double hundredths = percent > 0 ? std::round(-100 * std::log10(percent / 100)) : -1;
    if (hundredths < 0 || hundredths > kMostHundredths)
        throw CHostError(where + "reflectance " + field +
                         " % is out of range (0 < Y <= 100, a density of 0.00 to 9.00)");
    return static_cast<uint16_t>(hundredths);
}

size_t SampleIdColumn(const CTable& table) {
    size_t id = 0;
    while (id < table.columns.size() && Upper(table.columns[id]) != "SAMPLE_ID") ++id;
    return id;
}

std::string LineOf(const CTable& table, size_t row) {
    return "line " + std::to_string(table.lines[row]);
}

// The rows in patch order, and why they may not be: a SAMPLE_ID written twice, a gap in the
// numbers (every later patch would take its neighbour's reading), numbers that start neither at 0
// nor at 1, or a row count other than NUMBER_OF_SETS. Rows with whole-number SAMPLE_IDs are put
// in their order; otherwise they stay in file order.
std::vector<size_t> RowOrder(const CTable& table, std::string& problem) {
    std::vector<size_t> order(table.rows.size());
    for (size_t i = 0; i < order.size(); ++i) order[i] = i;
    long long declared = 0;
    if (!table.declaredRows.empty() &&
        (!ParseInteger(table.declaredRows, declared) ||
         declared != static_cast<long long>(table.rows.size())))
        problem = "NUMBER_OF_SETS on line " + std::to_string(table.declaredLine) + " is " +
                  table.declaredRows + ", but the data holds " +
                  std::to_string(table.rows.size()) + " rows: is a row missing or one too many?";
    const size_t id = SampleIdColumn(table);
    if (id == table.columns.size()) return order;
    std::vector<long long> numbers;
    bool numeric = true;
    for (size_t row = 0; row < table.rows.size(); ++row) {
        const std::string sample = id < table.rows[row].size() ? table.rows[row][id] : "";
        for (size_t earlier = 0; earlier < row; ++earlier)
            if (id < table.rows[earlier].size() && table.rows[earlier][id] == sample) {
                if (problem.empty())
                    problem = "SAMPLE_ID " + sample + " is written twice, on " +
                              LineOf(table, earlier) + " and " + LineOf(table, row) +
                              ": every later patch would take its neighbour's reading";
                numeric = false;
            }
        long long number = 0;
        numeric = numeric && ParseInteger(sample, number);
        numbers.push_back(number);
    }
    if (!numeric) return order;
    std::stable_sort(order.begin(), order.end(),
                     [&](size_t a, size_t b) { return numbers[a] < numbers[b]; });
    if (!order.empty() && numbers[order[0]] != 0 && numbers[order[0]] != 1 && problem.empty())
        problem = "the SAMPLE_IDs start at " + std::to_string(numbers[order[0]]) + " on " +
                  LineOf(table, order[0]) + ", not at 0 or 1: is a row missing?";
    for (size_t i = 1; i < order.size() && problem.empty(); ++i) {
        const long long before = numbers[order[i - 1]];
        if (numbers[order[i]] != before + 1)
            problem = "SAMPLE_ID " + std::to_string(before + 1) + " is missing (" +
                      std::to_string(before) + " on " + LineOf(table, order[i - 1]) +
                      " is followed by " + std::to_string(numbers[order[i]]) + " on " +
                      LineOf(table, order[i]) +
                      "): every later patch would take its neighbour's reading";
    }
    return order;
}

CReadingsFile ReadTable(const std::string& path, const CTable& table,
                        const CReadingsFormat& format) {
    const size_t column = ChosenColumn(path, table, format.channel);
    const CColumnKind kind = KindOf(table.columns[column]);
    CReadingsFile file;
    file.densities = kind != CColumnKind::Plain || format.densities;
    file.source = table.kind + " column " + table.columns[column] +
                  (kind == CColumnKind::Densities     ? " (densities)"
                   : kind == CColumnKind::Reflectance ? " (reflectance in %, as densities)"
                   : format.densities                  ? " (densities)"
                                                       : " (hundredths)");
    if (table.rows.size() > kReadingCount)
        throw CHostError(path + ": " + std::to_string(table.rows.size()) + " rows of " +
                         table.kind + " data; 48 are needed (reading 0 the reference, 1 to 46 "
                         "the patches, 47 unused), or 47 without the unused last one");
    const size_t id = SampleIdColumn(table);
    for (size_t index : RowOrder(table, file.tableProblem)) {
        const std::vector<std::string>& row = table.rows[index];
        const std::string where = path + " line " + std::to_string(table.lines[index]) + ": ";
        if (row.size() != table.columns.size())
            throw CHostError(where + std::to_string(row.size()) + " fields; the header names " +
                             std::to_string(table.columns.size()));
        const std::string& field = row[column];
        file.origins.push_back({table.lines[index], field, id < row.size() ? row[id] : ""});
        if (kind == CColumnKind::Reflectance)
            file.readings.push_back(ReflectanceReading(where, field, table.decimalCommas));
        else
            file.readings.push_back(ParseReading(
                where, field, kind == CColumnKind::Densities || format.densities,
                table.decimalCommas || field.find('.') == std::string::npos));
    }
    return file;
}

// The first value written with a decimal comma (0,15) on a line of its own, or empty: read
// without --density its digits would be taken for two readings.
std::string DecimalCommaValue(const std::vector<std::string>& lines, size_t& line) {
    for (line = 1; line <= lines.size(); ++line)
        if (lines[line - 1].find('.') != std::string::npos) return std::string();
    for (line = 1; line <= lines.size(); ++line) {
        const std::string value = Trimmed(lines[line - 1]);
        const size_t comma = value.find(',');
        if (comma != std::string::npos && comma > 0 && comma + 1 < value.size() &&
            value.find_first_of(",; \t", comma + 1) == std::string::npos &&
            std::all_of(value.begin(), value.begin() + static_cast<std::ptrdiff_t>(comma), IsDigit) &&
            std::all_of(value.begin() + static_cast<std::ptrdiff_t>(comma) + 1, value.end(), IsDigit))
            return value;
    }
    return std::string();
}

// Densities with decimal commas in a file read as hundredths: said as a point is said.
void RefuseDecimalCommas(const std::string& path, const std::vector<std::string>& lines) {
    size_t line = 0;
    const std::string value = DecimalCommaValue(lines, line);
    if (value.empty()) return;
    throw CHostError(path + " line " + std::to_string(line) + ": '" + value +
                     "' is not a whole number of hundredths (150 for a density of 1.50; give "
                     "--density to read densities like 1,50)");
}

CReadingsFile ReadPlain(const std::string& path, const std::vector<std::string>& lines,
                        bool densities) {
    // Densities written with a decimal comma (0,10), as spreadsheets in many languages write
    // them: a comma between two digits belongs to the number when no reading has a point.
    bool decimalCommas = densities;
    for (const std::string& line : lines)
        if (line.find('.') != std::string::npos) decimalCommas = false;

    CReadingsFile file;
    std::vector<uint16_t>& readings = file.readings;
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
                    if (readings.size() == kReadingCount) {
                        if (!densities) RefuseDecimalCommas(path, lines);
                        throw CHostError(where + "more than " + std::to_string(kReadingCount) +
                                         " readings");
                    }
                    readings.push_back(ParseReading(where, field, densities, decimalCommas));
                    file.origins.push_back({number, field, ""});
                }
                field.clear();
            } else {
                field += c;
            }
        }
    }
    if (!densities && readings.size() != kReadingCount && readings.size() != kReadingCount - 1)
        RefuseDecimalCommas(path, lines);
    return file;
}

}  // namespace

CReadingsFile ReadReadingsFile(const std::string& path, const CReadingsFormat& format) {
    const std::vector<std::string> lines = CommentsRemoved(ReadingsText(path));
    CReadingsFile file;
    if (IsCgats(lines)) {
        file = ReadTable(path, ReadCgats(path, lines), format);
    } else if (HasHeaderLine(lines)) {
        file = ReadTable(path, ReadCsv(lines), format);
    } else {
        if (!format.channel.empty())
            throw CHostError(path + ": --channel " + format.channel +
                             " names a column, but the file is no CGATS or CSV table with a "
                             "header line");
        file = ReadPlain(path, lines, format.densities);
        file.densities = format.densities;
    }
    std::vector<uint16_t>& readings = file.readings;
    if (readings.size() == kReadingCount - 1) {
        readings.push_back(0);
        file.origins.emplace_back();
    }
    if (readings.size() != kReadingCount)
        throw CHostError(path + ": " + std::to_string(readings.size()) +
                         " readings; 48 are needed (reading 0 the reference, 1 to 46 the "
                         "patches, 47 unused), or 47 without the unused last one");
    return file;
}

std::vector<uint16_t> ReadDensitometerFile(const std::string& path, bool densities) {
    CReadingsFormat format;
    format.densities = densities;
    return ReadReadingsFile(path, format).readings;
}

}  // namespace host
