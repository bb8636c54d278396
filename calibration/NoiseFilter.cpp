// Estimating the scan's noise in the measured map and leaving it out of the calibration.
#include "calibration/NoiseFilter.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include <emmintrin.h>

namespace kavrel::offset {

namespace {

constexpr double kCoarseSigma = 2.0;
constexpr int32_t kKernelRadius = 6;
constexpr double kNoiseMultiple = 3.0;
// The median of the size of a normally distributed value, in standard deviations.
constexpr double kMedianToDeviation = 1.4826;

// The squared distance from a grid point within which a sample is near its mark: the repaired
// samples, and one sample beyond.
double NearMarkSquared(int32_t radiusSquared) {
    const double reach = std::sqrt(double(radiusSquared)) + 1;
    return reach * reach;
}

// For each place 0 .. length - 1 along one direction, the squared distance to the nearest of the
// `count` grid lines from `first` on, `step` apart. A sample is near a mark where the sum of its
// column's and its row's lies within NearMarkSquared.
std::vector<int32_t> SquaredDistancesToGrid(int32_t first, int32_t step, int32_t count,
                                            int32_t length) {
    std::vector<int32_t> squared(static_cast<size_t>(std::max(length, 0)));
    for (int32_t p = 0; p < length; ++p) {
        const int32_t k = std::clamp((p - first + step / 2) / step, 0, count - 1);
        const int32_t d = p - (first + k * step);
        squared[p] = d * d;
    }
    return squared;
}

std::vector<double> GaussianKernel() {
    std::vector<double> kernel(2 * kKernelRadius + 1);
    double sum = 0;
    for (int32_t k = -kKernelRadius; k <= kKernelRadius; ++k)
        sum += kernel[k + kKernelRadius] = std::exp(-k * k / (2 * kCoarseSigma * kCoarseSigma));
    for (double& w : kernel) w /= sum;
    return kernel;
}

// The kernel's weights over the samples `first` .. `last` of a line, for each place on it: the
// weights of the samples outside are left out and the rest scaled to sum to 1, so that near the
// ends a blur leans on fewer samples rather than on a few repeated ones. Also how much of an
// independent noise's deviation such a weighted mean keeps.
struct CLineWeights {
    std::vector<double> scale;  // 1 / the sum of the weights inside, per place
    std::vector<double> noise;  // sqrt(sum of the squared scaled weights inside), per place
};

CLineWeights LineWeights(const std::vector<double>& kernel, int32_t length, int32_t first,
                         int32_t last) {
    CLineWeights weights{std::vector<double>(length, 1.0), std::vector<double>(length, 0.0)};
    for (int32_t i = 0; i < length; ++i) {
        double sum = 0, squares = 0;
        for (int32_t k = -kKernelRadius; k <= kKernelRadius; ++k) {
            const int32_t j = std::clamp(i + k, first, last);
            if (j != i + k) continue;
            sum += kernel[k + kKernelRadius];
            squares += kernel[k + kKernelRadius] * kernel[k + kKernelRadius];
        }
        weights.scale[i] = sum > 0 ? 1 / sum : 0;
        weights.noise[i] = sum > 0 ? std::sqrt(squares) / sum : 0;
    }
    return weights;
}

// One term of a weighted sum over lines: weight times the line's sample at x + offset.
struct CTerm {
    double weight;
    const float* line;
    int32_t offset;
};

// For every x in [from, to): the sum of the terms at x, added in their order from 0, times the
// scale of x (scale[x * scaleStep]), rounded to float into out[x]. Two places at a time in the
// two lanes of a vector register, each lane adding as a sum taken place by place does.
void SumTerms(const CTerm* terms, int32_t count, int32_t from, int32_t to, const double* scale,
              int32_t scaleStep, float* out) {
    auto load = [](const float* at) {
        const __m128i two = _mm_loadl_epi64(reinterpret_cast<const __m128i*>(at));
        return _mm_cvtps_pd(_mm_castsi128_ps(two));
    };
    auto scaleOf = [&](int32_t x) {
        return scaleStep == 0 ? _mm_set1_pd(scale[0]) : _mm_loadu_pd(scale + x);
    };
    int32_t x = from;
    for (; x + 4 <= to; x += 4) {
        __m128d low = _mm_setzero_pd(), high = _mm_setzero_pd();
        for (int32_t t = 0; t < count; ++t) {
            const __m128d weight = _mm_set1_pd(terms[t].weight);
            const float* at = terms[t].line + x + terms[t].offset;
            low = _mm_add_pd(low, _mm_mul_pd(weight, load(at)));
            high = _mm_add_pd(high, _mm_mul_pd(weight, load(at + 2)));
        }
        const __m128 lowFloats = _mm_cvtpd_ps(_mm_mul_pd(low, scaleOf(x)));
        const __m128 highFloats = _mm_cvtpd_ps(_mm_mul_pd(high, scaleOf(x + 2)));
        _mm_storeu_ps(out + x, _mm_movelh_ps(lowFloats, highFloats));
    }
    for (; x < to; ++x) {
        double sum = 0;
        for (int32_t t = 0; t < count; ++t)
            sum += terms[t].weight * terms[t].line[x + terms[t].offset];
        out[x] = static_cast<float>(sum * scale[x * scaleStep]);
    }
}

// The plane blurred across and down with the kernel over the samples that were measured, the
// edge band (repeated samples) left out. The rows blurred across are kept only while the blur
// down reaches them, in a ring of as many rows as the kernel has weights.
bool Blur(const CWorkPlane& plane, const std::vector<double>& kernel, int32_t band,
          const CLineWeights& across, const CLineWeights& down, CWorkPlane& blurred) {
    const int32_t w = plane.Width(), h = plane.Height();
    constexpr int32_t kTaps = 2 * kKernelRadius + 1;
    CWorkPlane ring(w, kTaps);
    if (!ring.HasData() || !blurred.HasData()) return false;
    CTerm terms[kTaps];
    // Across: column x + k must lie among the measured ones, band .. w - band - 1. Where all
    // of them do, every place takes all the terms.
    auto blurAcross = [&](int32_t v) {
        const float* line = plane.Data() + static_cast<size_t>(v) * w;
        for (int32_t k = -kKernelRadius; k <= kKernelRadius; ++k)
            terms[k + kKernelRadius] = CTerm{kernel[k + kKernelRadius], line, k};
        float* out = &ring.At(0, v % kTaps);
        auto edgePlace = [&](int32_t x) {
            const int32_t first = std::max(-kKernelRadius, band - x);
            const int32_t last = std::min(kKernelRadius, w - band - 1 - x);
            // No term at all where the measured columns lie beyond the kernel's reach; the
            // terms' start is only formed where there are some.
            const int32_t count = std::max(last - first + 1, 0);
            SumTerms(count > 0 ? terms + (first + kKernelRadius) : terms, count, x, x + 1,
                     across.scale.data(), 1, out);
        };
        const int32_t inner = std::max(band + kKernelRadius, 0);
        const int32_t innerEnd = std::max(w - band - kKernelRadius, inner);
        for (int32_t x = 0; x < std::min(inner, w); ++x) edgePlace(x);
        SumTerms(terms, kTaps, inner, innerEnd, across.scale.data(), 1, out);
        for (int32_t x = innerEnd; x < w; ++x) edgePlace(x);
    };
    // Down: only the measured rows, band .. h - band - 1, are blurred across and read.
    int32_t nextAcross = band;
    for (int32_t y = 0; y < h; ++y) {
        for (; nextAcross < h - band && nextAcross <= y + kKernelRadius; ++nextAcross)
            blurAcross(nextAcross);
        int32_t count = 0;
        for (int32_t k = -kKernelRadius; k <= kKernelRadius; ++k) {
            const int32_t v = y + k;
            if (v >= band && v < h - band)
                terms[count++] = CTerm{kernel[k + kKernelRadius], &ring.At(0, v % kTaps), 0};
        }
        SumTerms(terms, count, 0, w, &down.scale[y], 0, &blurred.At(0, y));
    }
    return true;
}

// The non-negative garrote: v less t^2 / v, and 0 where |v| is t or less.
double Garrote(double v, double t) { return std::abs(v) <= t ? 0.0 : v - t * t / v; }

}  // namespace

double EstimateSampleNoise(const CWorkPlane& measured, const CMapGrid& grid,
                           int32_t markRadiusSquared) {
    if (!measured.HasData() || !grid.Usable()) return 0;
    std::vector<float> sizes;
    const double nearSquared = NearMarkSquared(markRadiusSquared);
    const std::vector<int32_t> across =
        SquaredDistancesToGrid(grid.x, grid.stepX, grid.columns, measured.Width());
    const std::vector<int32_t> down =
        SquaredDistancesToGrid(grid.y, grid.stepY, grid.rows, measured.Height());
    auto nearMark = [&](int32_t x, int32_t y) { return across[x] + down[y] <= nearSquared; };
    for (int32_t y = grid.PointY(0); y + 1 <= grid.PointY(grid.rows - 1); y += 2)
        for (int32_t x = grid.PointX(0); x + 1 <= grid.PointX(grid.columns - 1); x += 2) {
            if (nearMark(x, y) || nearMark(x + 1, y + 1)) continue;
            const double d = (measured.At(x, y) - measured.At(x + 1, y) - measured.At(x, y + 1) +
                              measured.At(x + 1, y + 1)) / 2;
            sizes.push_back(static_cast<float>(std::abs(d)));
        }
    if (sizes.empty()) return 0;
    auto middle = sizes.begin() + static_cast<std::ptrdiff_t>(sizes.size() / 2);
    std::nth_element(sizes.begin(), middle, sizes.end());
    return kMedianToDeviation * *middle;
}

double RoundingNoise(const CFrame& scan, const CMarkGrid& marks) {
    if (!scan.HasData() || scan.m_nCols <= 0 || scan.m_nRows <= 0) return 0;
    // The levels of a window in the middle of the exposed field, and their steps.
    const CScanPlace middle = marks.Centre(marks.Grid().width / 2, marks.Grid().height / 2);
    constexpr int32_t kReach = 100;
    std::vector<bool> seen(1 << 16, false);
    for (int32_t dy = -kReach; dy <= kReach; ++dy)
        for (int32_t dx = -kReach; dx <= kReach; ++dx) {
            const int32_t x = std::clamp(static_cast<int32_t>(middle.x) + dx, 0, scan.m_nCols - 1);
            const int32_t y = std::clamp(static_cast<int32_t>(middle.y) + dy, 0, scan.m_nRows - 1);
            seen[scan.m_pData[static_cast<size_t>(y) * scan.m_nCols + x]] = true;
        }
    std::vector<int32_t> steps;
    int32_t previous = -1;
    for (int32_t level = 0; level < static_cast<int32_t>(seen.size()); ++level) {
        if (!seen[level]) continue;
        if (previous >= 0) steps.push_back(level - previous);
        previous = level;
    }
    if (steps.empty()) return 0;
    auto median = steps.begin() + static_cast<std::ptrdiff_t>(steps.size() / 2);
    std::nth_element(steps.begin(), median, steps.end());
    double across = 1, down = 1;
    marks.Extent(marks.Grid().width / 2, marks.Grid().height / 2, across, down);
    return *median / std::sqrt(12.0) / std::sqrt(std::max(across * down, 1.0));
}

bool KeepWhatStandsAboveNoise(CWorkPlane& measured, const CMapGrid& grid, double sampleNoise,
                              int32_t edgeBand) {
    if (!measured.HasData() || !grid.Usable()) return false;
    const int32_t w = measured.Width(), h = measured.Height();
    const int32_t band = std::clamp(edgeBand, 0, std::min(w, h) / 2 - 1);
    const std::vector<double> kernel = GaussianKernel();
    const CLineWeights across = LineWeights(kernel, w, band, w - 1 - band);
    const CLineWeights down = LineWeights(kernel, h, band, h - 1 - band);
    CWorkPlane coarse(w, h);
    if (!Blur(measured, kernel, band, across, down, coarse)) return false;

    // The noise deviation of the fine rest, for independent noise of the samples: 1 - 2 w(0) +
    // sum(w^2) of the samples' own, w the 2-D kernel; the coarse part's, place by place.
    double squares = 0;
    for (double k : kernel) squares += k * k;
    const double centre = kernel[kKernelRadius] * kernel[kKernelRadius];
    const double fineNoise = sampleNoise * std::sqrt(std::max(1 - 2 * centre + squares * squares, 0.0));

    // The coarse part's mean over the field, row by row.
    double sum = 0;
    int64_t count = 0;
    const int32_t fieldLeft = std::max(grid.PointX(0), 0);
    const int32_t fieldRight = std::min(grid.PointX(grid.columns - 1), w - 1);
    for (int32_t y = std::max(grid.PointY(0), 0); y <= std::min(grid.PointY(grid.rows - 1), h - 1);
         ++y)
        for (int32_t x = fieldLeft; x <= fieldRight; ++x) {
            sum += coarse.At(x, y);
            ++count;
        }
    const double mean = count > 0 ? sum / count : 0;
    // The coarse part's limit at (x, y) is the factor of column x times that of row y.
    std::vector<double> coarseLimitAcross(static_cast<size_t>(w));
    for (int32_t x = 0; x < w; ++x)
        coarseLimitAcross[x] = kNoiseMultiple * sampleNoise * across.noise[x];
    for (int32_t y = 0; y < h; ++y) {
        float* row = &measured.At(0, y);
        const float* coarseRow = &coarse.At(0, y);
        for (int32_t x = 0; x < w; ++x) {
            const double coarseLimit = coarseLimitAcross[x] * down.noise[y];
            const double c = coarseRow[x];
            const double fine = row[x] - c;
            row[x] = static_cast<float>(mean + Garrote(c - mean, coarseLimit) +
                                        Garrote(fine, kNoiseMultiple * fineNoise));
        }
    }
    return true;
}

}  // namespace kavrel::offset
