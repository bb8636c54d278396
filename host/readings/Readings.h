// The densitometer readings of an exposed grey scale, from a text or CSV file, or from the
// CGATS or CSV table that a densitometer's software exports.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

constexpr int kReadingCount = 48;

struct CReadingsFormat {
    // Plain values are densities (1.50) instead of hundredths (150).
    bool densities = false;
    // The column of a table to read (CGATS field or CSV header name); empty: the default.
    std::string channel;
};

// Where a reading stands in its file, for the messages about it.
struct CReadingOrigin {
    size_t line = 0;       // 0: not in the file (the unused last reading left out)
    std::string text;      // the value as written
    std::string sampleId;  // the row's SAMPLE_ID in a table, or empty
};

struct CReadingsFile {
    std::vector<uint16_t> readings;  // hundredths of a density
    std::vector<CReadingOrigin> origins;  // one for each reading
    // Why the table's rows cannot be the patches in order (a SAMPLE_ID missing or doubled, a
    // row count that NUMBER_OF_SETS does not give), or empty. --force reads them in file order.
    std::string tableProblem;
    // Where they came from in a table, for the report: "CGATS column D_VIS (densities)"; empty
    // for plain readings.
    std::string source;
    // The file gave densities (or reflectances) rather than hundredths.
    bool densities = false;
};

// Reads the readings in order. A plain file holds one value per line, or several per line
// separated by commas, semicolons, tabs or spaces; '#' starts a comment. Values are hundredths of
// a density (150 for 1.50), whole numbers; with densities they are densities (1.50) instead,
// where a comma between two digits is a decimal comma (0,10) when no reading in the file has a
// point.
// A CGATS file (BEGIN_DATA_FORMAT ... BEGIN_DATA ... END_DATA) or a CSV file whose first line
// names its columns is read as a table: one row per patch (in the order of a numeric SAMPLE_ID
// column where there is one), the values from the column format.channel, by default D_VIS, else
// XYZ_Y, else the only density column. Density columns (D_VIS, D_RED, D_GREEN, D_BLUE, any D_
// field, or a CSV column named "density") hold densities; XYZ_Y holds reflectance in percent,
// read as the density -log10(Y / 100); any other column is read as plain values are.
// The file holds 48 readings (reading 0 the reference, 1..46 the patches, 47 unused), or 47, when
// the unused last one is left out (it counts as 0). Plain text, UTF-8 and UTF-16 are read.
// Throws CHostError naming the file and line.
CReadingsFile ReadReadingsFile(const std::string& path, const CReadingsFormat& format);
// The same for a plain file or a table in its default column.
std::vector<uint16_t> ReadDensitometerFile(const std::string& path, bool densities);

}  // namespace host
