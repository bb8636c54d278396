// Planes with given samples, for tests, fuzz targets and benchmarks.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "image/Frame.h"

namespace testing_support {

// Makes the plane cols x rows with the samples value(x, y).
void Paint(CFrame& plane, int32_t cols, int32_t rows,
           const std::function<int32_t(int32_t, int32_t)>& value);

// Makes the plane cols x rows with the samples sample(i) in buffer order (row after row), each
// stored as its low 16 bits.
void PaintSamples(CFrame& plane, int32_t cols, int32_t rows,
                  const std::function<int64_t(int32_t)>& sample);

// Makes the plane cols x rows with the samples, row after row.
void MakePlane(CFrame& plane, int32_t cols, int32_t rows, const std::vector<int32_t>& samples);

// Makes `to` a copy of `from`: the same size and samples in a buffer of its own.
void CopyPlane(const CFrame& from, CFrame& to);

// The plane's samples in buffer order, as unsigned 16-bit values.
std::vector<uint16_t> Samples(const CFrame& plane);

// The same as signed 16-bit values, as offset maps hold them.
std::vector<int32_t> SignedSamples(const CFrame& plane);

}  // namespace testing_support
