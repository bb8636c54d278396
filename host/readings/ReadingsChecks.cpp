#include "readings/ReadingsChecks.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>

#include "base/CalibrationLayout.h"
#include "base/NonCopyable.h"
#include "readings/Readings.h"

namespace host {

namespace {

constexpr int kPatches = kavrel::kStepCount;
// The library reads a reading above 900 as a negative density (900 - reading).
constexpr int kHighestDensity = 900;
// How far two readings of the same density may differ: a densitometer reads within about 0.02 of
// the true density, so two readings within 0.04 of each other.
constexpr int kNoise = 4;

// A reading as the library reads it: hundredths of a density, above 900 negative.
int Density(uint16_t reading) {
    return reading <= kHighestDensity ? reading : kHighestDensity - reading;
}

std::string Format(long long hundredths) {
    char text[40];
    std::snprintf(text, sizeof text, "%s%lld.%02lld", hundredths < 0 ? "-" : "",
                  std::llabs(hundredths) / 100, std::llabs(hundredths) % 100);
    return text;
}

// The mean density of patches first .. last.
double MeanDensity(const std::vector<int>& d, int first, int last) {
    double sum = 0;
    for (int r = first; r <= last; ++r) sum += d[r];
    return sum / (last - first + 1);
}

// How the messages name a reading: its patch, with its line and SAMPLE_ID where the file gave
// them, and its value as written there.
class CNames : private kavrel::CNonCopyable {
public:
    CNames(const std::vector<uint16_t>& readings, bool densities,
           const std::vector<CReadingOrigin>& origins)
        : m_Readings(readings), m_bDensities(densities), m_Origins(origins) {}
    virtual ~CNames() = default;

    std::string Patch(int r) const {
        std::string name = r == 0 ? "reading 0 (the reference" : "patch " + std::to_string(r);
        const CReadingOrigin* origin = Origin(r);
        if (origin != nullptr) {
            name += std::string(r == 0 ? ", " : " (") + "line " + std::to_string(origin->line);
            if (!origin->sampleId.empty()) name += ", SAMPLE_ID " + origin->sampleId;
            name += ")";
        } else if (r == 0) {
            name += ")";
        }
        return name;
    }
    // The reading as written in the file, else in the unit the file gave.
    std::string Value(int r) const {
        const CReadingOrigin* origin = Origin(r);
        return origin != nullptr ? origin->text : Amount(m_Readings[static_cast<size_t>(r)]);
    }
    // Hundredths in the unit the file gave: hundredths, or a density.
    std::string Amount(double hundredths) const {
        const long long rounded = static_cast<long long>(std::lround(hundredths));
        return m_bDensities ? Format(rounded) : std::to_string(rounded);
    }
    bool Densities() const { return m_bDensities; }

private:
    const CReadingOrigin* Origin(int r) const {
        const size_t index = static_cast<size_t>(r);
        if (index >= m_Origins.size() || m_Origins[index].line == 0) return nullptr;
        return &m_Origins[index];
    }

    const std::vector<uint16_t>& m_Readings;
    bool m_bDensities;
    const std::vector<CReadingOrigin>& m_Origins;
};

std::string TypedAsHundredths(const std::vector<uint16_t>& readings, const CNames& names) {
    const auto high = std::find_if(readings.begin(), readings.begin() + kPatches + 1,
                                   [](uint16_t r) { return r > kHighestDensity; });
    if (high == readings.begin() + kPatches + 1) return std::string();
    const int r = static_cast<int>(high - readings.begin());
    return names.Patch(r) + " is a density of " + names.Value(r) +
           ": densities above 9.00 cannot be right; readings in hundredths (150 for 1.50) are "
           "read without --density";
}

double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    const size_t n = values.size();
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

// What the patches around r suggest for patch r, without its own reading: the scale's local
// slope (the median step between neighbours within four patches) carried from each patch within
// three, and the median of those. One wrong reading nearby moves neither median.
double Expected(const std::vector<int>& d, int r) {
    std::vector<double> steps;
    for (int i = std::max(1, r - 4); i <= std::min(kPatches - 1, r + 3); ++i)
        if (i != r - 1 && i != r) steps.push_back(d[i + 1] - d[i]);
    const double slope = Median(steps);
    std::vector<double> guesses;
    for (int k = std::max(1, r - 3); k <= std::min(kPatches, r + 3); ++k)
        if (k != r) guesses.push_back(d[k] + (r - k) * slope);
    return Median(guesses);
}

// How far a reading may stand from its neighbours' line: several of the scale's usual steps
// between neighbouring patches, and never less than a quarter of a density.
double Tolerance(const std::vector<int>& d) {
    std::vector<int> steps;
    for (int r = 1; r < kPatches; ++r) steps.push_back(std::abs(d[r + 1] - d[r]));
    std::nth_element(steps.begin(), steps.begin() + steps.size() / 2, steps.end());
    return std::max(25.0, 6.0 * steps[steps.size() / 2]);
}

// What a reading far from the expected one probably is: the expected one typed with a digit too
// many or too few.
std::string LikelyTypo(long long reading, double expected, const CNames& names) {
    // Near enough: within the densitometer's scatter or a third of the expected reading.
    const double near = std::max(3.0, expected / 3);
    if (std::abs(reading / 10.0 - expected) <= near)
        return "ten times too large: " + names.Amount(static_cast<double>((reading + 5) / 10)) +
               " typed with a digit too many?";
    if (reading > 0 && std::abs(reading * 10.0 - expected) <= near)
        return "a tenth of what it should be: " + names.Amount(static_cast<double>(reading * 10)) +
               " typed with a digit too few?";
    return "a typo, or the wrong patch measured?";
}

// Readings above 900 hundredths, which the library reads as negative densities. One among
// plausible ones is a typo; many are readings typed ten times too large throughout.
std::string AboveRange(const std::vector<uint16_t>& readings, const CNames& names) {
    std::vector<int> high;
    for (int r = 0; r <= kPatches; ++r)
        if (readings[r] > kHighestDensity) high.push_back(r);
    if (high.empty()) return std::string();
    const int r = high[0];
    const std::string reading = names.Value(r);
    if (high.size() > 1)
        return std::to_string(high.size()) + " readings are above 900 hundredths (9.00), " +
               names.Patch(r) + " the first with " + reading +
               "; the library reads such readings as negative densities: were they typed ten "
               "times too large (150 is a density of 1.50)?";
    std::string hint = "a typo?";
    if (r > 0) {
        const std::vector<int> d(readings.begin(), readings.end());
        const double expected = Expected(d, r);
        hint = LikelyTypo(readings[r], expected, names);
    }
    return names.Patch(r) + " reads " + reading +
           " hundredths, above 900 (9.00), which the library reads as a negative density: " +
           hint;
}

// What the neighbours of patch r suggest for it, and what its reading probably is.
std::string AgainstNeighbours(const std::vector<int>& d, int r, const CNames& names) {
    const double around = Expected(d, r);
    return names.Patch(r) + " reads " + names.Value(r) + " where its neighbours suggest about " +
           names.Amount(around) + ": " + LikelyTypo(d[r], around, names);
}

// The patch whose reading stands furthest from what its neighbours suggest, when that is too far.
std::string OutOfLine(const std::vector<int>& d, const CNames& names) {
    const double tolerance = Tolerance(d);
    int worst = 0;
    double worstDistance = tolerance;
    for (int r = 1; r <= kPatches; ++r) {
        const double distance = std::abs(d[r] - Expected(d, r));
        if (distance > worstDistance) {
            worst = r;
            worstDistance = distance;
        }
    }
    if (worst == 0) return std::string();
    return AgainstNeighbours(d, worst, names);
}

// A grey scale gets denser patch by patch: a patch lighter than the one before it by more than
// the densitometer's noise is a typo, a patch measured twice or patches measured out of order.
// The plateau at the dark end may wobble within the noise.
std::string Drop(const std::vector<int>& d, const CNames& names) {
    for (int r = 1; r < kPatches; ++r) {
        if (d[r] - d[r + 1] <= kNoise) continue;
        const bool fitsBefore = r == 1 || d[r - 1] <= d[r + 1] + kNoise;
        const bool fitsAfter = r + 1 == kPatches || d[r] <= d[r + 2] + kNoise;
        const std::string drop = names.Patch(r + 1) + " reads " + names.Value(r + 1) +
                                 ", lighter than " + names.Patch(r) + " before it with " +
                                 names.Value(r) + " by more than a densitometer's noise (" +
                                 Format(kNoise) + "); a grey scale gets denser patch by patch: ";
        if (fitsBefore && fitsAfter) return drop + "a typo, or the two patches measured swapped?";
        // The one of the two that stands further from what its neighbours suggest.
        const int wrong = std::abs(d[r] - Expected(d, r)) > std::abs(d[r + 1] - Expected(d, r + 1))
                              ? r
                              : r + 1;
        return drop + AgainstNeighbours(d, wrong, names);
    }
    return std::string();
}

// The darkest patch reading 0: the file's last reading is the unused one, so one of the patches'
// readings is missing and every later patch took its neighbour's place.
std::string MissingReading(const std::vector<int>& d, const CNames& names) {
    if (d[kPatches] != 0 || d[kPatches - 1] <= kNoise) return std::string();
    return names.Patch(kPatches) + ", the darkest, reads " + names.Value(kPatches) +
           ": is a reading missing? Reading 47 (unused) may be left out, but the reference and "
           "all 46 patches must be there, in order";
}

std::string NoTones(const std::vector<int>& d) {
    if (!std::all_of(d.begin() + 2, d.begin() + kPatches + 1, [&](int v) { return v == d[1]; }))
        return std::string();
    return "all 46 patch readings are " + Format(d[1]) +
           ": the grey scale shows no tones (was it exposed and developed?)";
}

std::string Falling(const std::vector<int>& d) {
    const double light = MeanDensity(d, 1, kPatches / 2);
    const double dark = MeanDensity(d, kPatches / 2 + 1, kPatches);
    if (dark >= light) return std::string();
    return "the patch densities fall from " + Format(d[1]) + " (patch 1) to " +
           Format(d[kPatches]) +
           " (patch 46): patches measured in the wrong order? Patch 1 (value 252) is the "
           "lightest, patch 46 (value 4) the darkest";
}

// The reference is the unexposed patch: denser than the lightest patch by more than the
// densitometer's noise, it is mistyped or read from the wrong patch.
std::string DenseReference(const std::vector<int>& d, const CNames& names) {
    if (d[0] - d[1] <= kNoise) return std::string();
    const int lighter = static_cast<int>(
        std::count_if(d.begin() + 1, d.begin() + kPatches + 1, [&](int v) { return v < d[0]; }));
    return names.Patch(0) + " reads " + names.Value(0) + ", denser than " +
           (lighter == 1 ? "" : std::to_string(lighter) + " of the 46 patches, the first ") +
           names.Patch(1) + " with " + names.Value(1) + ", by more than a densitometer's noise (" + Format(kNoise) +
           "): reading 0 must be the unexposed reference patch (value 255), the lightest of all: " +
           LikelyTypo(d[0], d[1], names);
}

// Gamma settings in hundredths: the library's range, and the range of usual gammas.
constexpr unsigned kLowestGamma = 10, kHighestGamma = 1000;
constexpr unsigned kLowestUsualGamma = 50, kHighestUsualGamma = 500;

}  // namespace

CGammaCheck CheckGamma(const CLibrarySetting& gamma) {
    CGammaCheck check;
    // The setting is read as an unsigned number: a negative one has wrapped around.
    const long long written = static_cast<int32_t>(gamma.value);
    const std::string where = gamma.present ? "Gamma in [Imaging] of " + gamma.file + " reads as " +
                                                  std::to_string(written)
                                            : "the default; no Gamma in [Imaging] of " + gamma.file;
    check.description = "gamma " + Format(written) + " (" + where + ")";
    if (gamma.value < kLowestGamma || gamma.value > kHighestGamma)
        check.unusable = check.description +
                         " is outside 0.10 .. 10.00, with which the library writes no table; the "
                         "setting is in hundredths (180 for a gamma of 1.80)";
    else if (gamma.value < kLowestUsualGamma || gamma.value > kHighestUsualGamma)
        check.warning = check.description + " lies outside the usual 0.50 .. 5.00";
    return check;
}

CReadingsCheck CheckReadings(const std::vector<uint16_t>& readings, bool densities,
                             const std::vector<CReadingOrigin>& origins, bool givenAsDensities) {
    CReadingsCheck check;
    if (readings.size() != kReadingCount) return check;
    std::vector<int> d(readings.size());
    std::transform(readings.begin(), readings.end(), d.begin(), Density);
    const CNames names(readings, densities || givenAsDensities, origins);
    for (const std::string& refusal :
         {densities ? TypedAsHundredths(readings, names) : AboveRange(readings, names), NoTones(d),
          Falling(d), MissingReading(d, names), DenseReference(d, names), OutOfLine(d, names),
          Drop(d, names)}) {
        if (!refusal.empty()) {
            check.refusal = refusal;
            break;
        }
    }
    return check;
}

CReadingsCheck CheckReadingsFile(const CReadingsFile& file, bool densities) {
    CReadingsCheck check = CheckReadings(file.readings, densities, file.origins, file.densities);
    if (file.tableProblem.empty()) return check;
    // The rows' order comes first: forced, the readings' own doubts follow it.
    if (!check.refusal.empty()) check.warnings.insert(check.warnings.begin(), check.refusal);
    check.refusal = file.tableProblem;
    return check;
}

}  // namespace host
