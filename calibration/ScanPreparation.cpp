// Preparing the scanned test exposure for the offset calculation.
#include "image/Frame.h"
#include "output/FrameComputation.h"

int32_t CFrame::LoadChannel(const CBitmapImage&, int32_t) { return kNoPixels; }
void CFrame::FindRowEdges(int32_t, int32_t&, int32_t&) const {}
void CFrame::FindColumnEdges(int32_t, int32_t&, int32_t&) const {}
CBorderBox CFrame::GetBorderBox() const { return CBorderBox{0, 0, 0, 0}; }
void CFrame::CorrectGeometry() {}
void CFrame::CalcOffsetMap(CFrame&) {}
