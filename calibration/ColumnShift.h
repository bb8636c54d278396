// Moving the columns of a plane along the rows: what ShiftColumn(x, shiftOf(x)) does for every
// column x, as row copies in memory order instead of a walk down each column.
#pragma once

#include <cstdint>
#include <functional>

class CFrame;

namespace kavrel {

void ShiftColumns(CFrame& plane, const std::function<int32_t(int32_t)>& shiftOf);

}  // namespace kavrel
