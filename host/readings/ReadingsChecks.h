// Densitometer readings that cannot be right, caught before the library turns them into a table.
//
// The library calibrates whatever it is given: patches read in the wrong order, a grey scale
// that shows no tones or a reference read from the wrong patch give a table that ruins the next
// prints, densities typed as hundredths are read as densities a hundred times too high, and a
// single reading typed with a digit too many bends the whole table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "files/Platform.h"
#include "readings/Readings.h"

namespace host {

struct CReadingsCheck {
    // Why the readings cannot be right (one line), or empty.
    std::string refusal;
    // Doubts that do not stop the calculation.
    std::vector<std::string> warnings;
};

// Checks the 48 readings (hundredths; reading 0 the reference, 1..46 the patches from the
// lightest, value 252, to the darkest, value 4). densities: plain values were read as densities,
// so that readings above 9.00 were most likely typed as hundredths. Refused: a reading above 900
// hundredths (the library reads it as a negative density), patches that fall or show no tones,
// the darkest patch reading 0 (a reading missing), a reference denser than the lightest patch, a
// patch far from what its neighbours suggest (named, with what it probably is: a typo, a factor
// of ten), and a patch lighter than the one before it, both by more than a densitometer's noise
// of 0.04. origins (where the file gave them) name each reading's line, SAMPLE_ID and value as
// written; givenAsDensities: the file gave densities, so that values are said as densities.
CReadingsCheck CheckReadings(const std::vector<uint16_t>& readings, bool densities,
                             const std::vector<CReadingOrigin>& origins = {},
                             bool givenAsDensities = false);

// The same for the readings of a file, named by their lines; a table whose rows cannot be put in
// patch order is refused first. densities: plain values were read as densities.
CReadingsCheck CheckReadingsFile(const CReadingsFile& file, bool densities);

// The library's Gamma setting (hundredths, 180 for 1.80) and what the host says about it.
struct CGammaCheck {
    // "gamma 1.80 (Gamma in [Imaging] of FILE reads as 180)"
    std::string description;
    // Outside 10 .. 1000 the library writes no table: why, or empty.
    std::string unusable;
    // Outside 0.5 .. 5.0: a doubt, or empty.
    std::string warning;
};
CGammaCheck CheckGamma(const CLibrarySetting& gamma);

}  // namespace host
