// Planes with given samples, for tests.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "image/Frame.h"

namespace testing_support {

// Makes the plane cols x rows with the samples value(x, y).
void Paint(CFrame& plane, int32_t cols, int32_t rows,
           const std::function<int32_t(int32_t, int32_t)>& value);

// The plane's samples in buffer order, as unsigned 16-bit values.
std::vector<uint16_t> Samples(const CFrame& plane);

}  // namespace testing_support
