// Calibrating the LUT from densitometer readings: the numeric core, with the gamma passed in.
// CLut::CalcFromDensiValues checks its inputs, reads the gamma from the settings and runs it.
#pragma once

#include <array>
#include <cstdint>

#include "base/CalibrationLayout.h"
#include "image/Lut.h"

namespace kavrel::lutcalc {

using kavrel::kStepCount;
constexpr size_t kReadingCount = 48;
using StepValues = std::array<int16_t, kStepCount>;

using kavrel::StepInput;

// Whether a Gamma setting (in hundredths) is one the calculation uses: 10 .. 1000, gamma 0.10 ..
// 10.00. 0 would divide by zero; a setting written as a decimal ("1.80" reads as 1) or a negative
// one (which wraps to a huge number) gives a law that turns every patch into level 0 or 255, and
// a table from it would ruin the prints. Outside the range no table is written.
bool IsUsableGammaSetting(uint32_t hundredths);

// The gamma g of the law from the setting in hundredths (180 for 1.8): the setting times the
// single-precision 0.01, rounded to single precision.
float GammaFromSetting(uint32_t hundredths);

// A reading as a density in hundredths; readings above 900 count as negative densities.
int32_t Density(uint16_t reading);

// The image level 0..255 that the gamma law assigns to a density d hundredths above the reference.
// g must be finite and positive.
int16_t LevelOfDensity(int32_t d, float g);

// The levels of the 46 steps (before they are made non-decreasing). readings holds 48 elements;
// g is finite and positive.
StepValues StepLevels(const CWordArray& readings, float g);

// The new exposures of steps 15..38 (the other elements are 0) from the levels of the 46 steps and
// the old table's entries at the step inputs. The levels are made non-decreasing first.
StepValues NewExposures(StepValues levels, const StepValues& old);

// The 256 entries of the calibrated table from the old table's entries at the step inputs, the 48
// readings and the gamma g (finite and positive).
using Entries = std::array<int16_t, 256>;
Entries CalcEntries(const StepValues& old, const CWordArray& readings, float g);

}  // namespace kavrel::lutcalc
