// Measuring the offset grid in the scan and updating the offset map.
#include "image/Frame.h"

CPoint CFrame::FindPeak(int32_t, int32_t, int32_t) const { return CPoint{0, 0}; }
void CFrame::Resample(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                      const CFrame&) {}
void CFrame::PatchSample(int32_t, int32_t) {}
