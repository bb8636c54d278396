// The layouts that the calibrations and the targets printed for them must agree on: the inputs
// of the grey scale's steps, and the grid of the offset calculation. Header-only, so that the
// host draws its targets from the same numbers the library measures them with.
#pragma once

#include <cstdint>

namespace kavrel {

// The grey scale: 46 steps of falling density; densitometer reading r (1..46) belongs to step
// 46 - r.
constexpr int32_t kStepCount = 46;

// The image value that step k (0..45) is exposed with: 4..64 by 4, 72..200 by 8, 204..252 by 4.
constexpr int32_t StepInput(int32_t k) {
    if (k <= 15) return 4 * (k + 1);
    if (k <= 32) return 72 + 8 * (k - 16);
    return 204 + 4 * (k - 33);
}

// The grid of the offset calculation: its first point lies at column and row 31 of the offset
// map, the others every 64 samples right and up from there.
constexpr int32_t kGridOrigin = 31;
constexpr int32_t kGridStep = 64;

}  // namespace kavrel
