// The densitometer readings of an exposed grey scale, from a text or CSV file.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace host {

constexpr int kReadingCount = 48;

// Reads the readings in order: one value per line, or several per line separated by commas,
// semicolons, tabs or spaces; '#' starts a comment. Values are hundredths of a density (150 for
// 1.50), whole numbers 0..65535; with densities true they are densities (1.50) instead, where a
// comma between two digits is a decimal comma (0,10) when no reading in the file has a point.
// The file holds 48 readings (reading 0 the reference, 1..46 the patches, 47 unused), or 47, when
// the unused last one is left out (it counts as 0). Plain text, UTF-8 and UTF-16 are read.
// Throws CHostError naming the file and line.
std::vector<uint16_t> ReadDensitometerFile(const std::string& path, bool densities);

}  // namespace host
