// Without Windows there is no native display: only file displays open.
#include "platform/NativeDisplay.h"

namespace platform {

intptr_t CreateNativeDC(const CDisplayMode&) { return 0; }
void DeleteNativeDC(intptr_t) {}
void FillNativeRect(intptr_t, int32_t, int32_t, int32_t, int32_t, uint32_t) {}
int32_t SetNativeStretchBltMode(intptr_t, int32_t) { return 0; }
int32_t StretchNativeDIBits(intptr_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t,
                            int32_t, const void*, const CDibHeader&, uint32_t, uint32_t) {
    return 0;
}

}  // namespace platform
