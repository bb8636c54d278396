// Calibrating the LUT from densitometer readings.
//
// Each reading becomes the image level that the gamma law assigns to its density; between the
// measured points the exposure is interpolated linearly, so that each input 64..224 gets the
// exposure that reaches the density the law asks of it. Below 64 and above 224 the table bends in
// parabolas to 4095 at input 0 and to 0 at input 255. The mix of single and double precision is
// part of the result: tables written before must come out the same to the last entry.
#include "calibration/LutCalculation.h"

#include <cmath>

#include "platform/Settings.h"

namespace kavrel::lutcalc {

namespace {

constexpr int32_t kFirstTableStep = 15;  // input 64
constexpr int32_t kLastTableStep = 38;   // input 224
constexpr int32_t kTopExposure = 4095;
constexpr int32_t kTopLevel = 255;
constexpr float kHundredth = 0.01f;
constexpr float kMinusHundredth = -0.01f;
// The curvature factor of the high segment: -1/31, with 31 = 255 - 224.
constexpr float kHighFactor = -1.0f / 31.0f;

// Truncates toward zero and keeps the low 16 bits, as storing a 32-bit result as an entry does.
// The segments cannot leave the 32-bit range for any 16-bit inputs; the guard only keeps the
// conversion defined whatever happens.
int16_t TruncatedEntry(double value) {
    if (!(std::fabs(value) < 2147483648.0)) return 0;
    return static_cast<int16_t>(static_cast<int32_t>(value));
}

// Entries 0..63: a parabola from 4095 at input 0 to P at input 64 whose slope there is that of the
// line from P to Q at input 72.
void LowSegment(Entries& entries, int32_t p, int32_t q) {
    const double s = (q - p) * 0.125;
    const double a = (64 * s + kTopExposure - p) / 4096;
    const double b = s - 128 * a;
    for (int32_t x = 0; x < 64; ++x) entries[x] = TruncatedEntry(x * (a * x + b) + kTopExposure);
}

// Entries 64..223: straight lines between the new exposures at consecutive step inputs.
void MiddleSegment(Entries& entries, const StepValues& fresh) {
    entries[64] = fresh[kFirstTableStep];
    for (int32_t k = kFirstTableStep + 1; k <= kLastTableStep; ++k) {
        const int32_t u = StepInput(k - 1);
        const int32_t v = StepInput(k);
        for (int32_t x = u + 1; x <= v && x < 224; ++x)
            entries[x] =
                static_cast<int16_t>((fresh[k - 1] * (v - x) + fresh[k] * (x - u)) / (v - u));
    }
}

// Entries 224..255: the line from R at input 224 to 0 at input 255 plus a parabola that is 0 at
// both ends and makes the slope at 224 that of the segment from S at input 220. The line's factors
// are single-precision values, which may put entry 224 one below R.
void HighSegment(Entries& entries, int32_t r, int32_t s) {
    const double c = kHighFactor;
    const double product = r * c;
    const double m = static_cast<float>(product);
    const double n = static_cast<float>(product * -255);
    const double q = ((r - s) * 0.25 - m) * c;
    for (int32_t x = 224; x <= 255; ++x) {
        const int32_t bend = (x - 224) * (x - 255);
        entries[x] = TruncatedEntry(bend * q + m * x + n);
    }
}

// The range of usable Gamma settings, in hundredths.
constexpr uint32_t kLowestGamma = 10;
constexpr uint32_t kHighestGamma = 1000;

}  // namespace

bool IsUsableGammaSetting(uint32_t hundredths) {
    return hundredths >= kLowestGamma && hundredths <= kHighestGamma;
}

float GammaFromSetting(uint32_t hundredths) {
    return static_cast<float>(static_cast<double>(hundredths) * static_cast<double>(kHundredth));
}

int32_t Density(uint16_t reading) { return reading <= 900 ? reading : 900 - reading; }

int16_t LevelOfDensity(int32_t d, float g) {
    const double e = d * static_cast<double>(kMinusHundredth) / static_cast<double>(g);
    const double level = 255.0 * std::pow(10.0, e);
    // 10^e is never negative; above 255 (up to infinity for a very light patch) it is limited.
    if (!(level < kTopLevel + 1)) return kTopLevel;
    return static_cast<int16_t>(level);
}

StepValues StepLevels(const CWordArray& readings, float g) {
    const int32_t reference = Density(readings[0]);
    StepValues levels{};
    for (int32_t k = 0; k < kStepCount; ++k)
        levels[k] = LevelOfDensity(Density(readings[kStepCount - k]) - reference, g);
    return levels;
}

StepValues NewExposures(StepValues levels, const StepValues& old) {
    // A single misread patch must not make the levels fall.
    for (int32_t k = 1; k < kStepCount; ++k)
        if (levels[k] < levels[k - 1]) levels[k] = levels[k - 1];

    StepValues fresh{};
    for (int32_t k = kFirstTableStep; k <= kLastTableStep; ++k) {
        const int32_t t = StepInput(k);
        int32_t j = 0;
        while (j < kStepCount && levels[j] < t) ++j;
        int32_t exposure;
        if (j == 0) {
            // Beyond the darkest patch: toward exposure 4095 at level 0.
            exposure = (old[0] * t + (levels[0] - t) * kTopExposure) / levels[0];
        } else if (j < kStepCount) {
            exposure = (old[j - 1] * (levels[j] - t) + old[j] * (t - levels[j - 1])) /
                       (levels[j] - levels[j - 1]);
        } else {
            // Beyond the lightest patch (every level below t <= 224): toward exposure 0 at level
            // 255, as the other end goes toward 4095 at level 0.
            const int32_t last = levels[kStepCount - 1];
            exposure = old[kStepCount - 1] * (kTopLevel - t) / (kTopLevel - last);
        }
        fresh[k] = static_cast<int16_t>(exposure);
    }
    return fresh;
}

Entries CalcEntries(const StepValues& old, const CWordArray& readings, float g) {
    const StepValues fresh = NewExposures(StepLevels(readings, g), old);
    Entries entries{};
    LowSegment(entries, fresh[kFirstTableStep], fresh[kFirstTableStep + 1]);
    MiddleSegment(entries, fresh);
    HighSegment(entries, fresh[kLastTableStep], fresh[kLastTableStep - 1]);
    return entries;
}

}  // namespace kavrel::lutcalc

namespace {
// The old table is read at the step inputs, up to 252.
constexpr int32_t kMinOldEntries = 253;
}  // namespace

void CLut::CalcFromDensiValues(const CLut& old, const CWordArray& readings) {
    using namespace kavrel::lutcalc;
    if (!Allocate256()) return;
    // A table too short for the step inputs can only come from a foreign file; it is refused like a
    // missing one, and nothing is written.
    if (!old.HasTable() || old.m_nCount < kMinOldEntries) {
        ShowError("No old LUT found!\nCreate an empty LUT with Clear LUT first");
        m_pTable.reset();
        return;
    }
    if (readings.size() != kReadingCount) {
        m_pTable.reset();
        return;
    }
    // The gamma is read on every call. With an unusable one nothing is written: the readings
    // belong to the table in the file, so once the setting is mended the same readings can still
    // be calibrated against it.
    const uint32_t setting = platform::GetProfileInt("Imaging", "Gamma", 180);
    if (!IsUsableGammaSetting(setting)) {
        m_pTable.reset();
        return;
    }
    const float g = GammaFromSetting(setting);
    StepValues oldExposures{};
    for (int32_t k = 0; k < kStepCount; ++k) oldExposures[k] = old.m_pTable[StepInput(k)];
    const Entries entries = CalcEntries(oldExposures, readings, g);
    for (int32_t i = 0; i < 256; ++i) m_pTable[i] = entries[i];
}
