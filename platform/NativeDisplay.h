// The operating system's display device contexts behind CDC; not used outside platform/.
// A context is an opaque handle, 0 for none. Every call with the handle 0 does nothing.
#pragma once

#include <cstdint>

#include "platform/DisplayContext.h"

namespace platform {

// A context for the named display in the given mode, or 0.
intptr_t CreateNativeDC(const CDisplayMode& mode);
void DeleteNativeDC(intptr_t dc);
void FillNativeRect(intptr_t dc, int32_t x, int32_t y, int32_t width, int32_t height,
                    uint32_t colorRef);
int32_t SetNativeStretchBltMode(intptr_t dc, int32_t mode);
int32_t StretchNativeDIBits(intptr_t dc, int32_t xDest, int32_t yDest, int32_t destWidth,
                            int32_t destHeight, int32_t xSrc, int32_t ySrc, int32_t srcWidth,
                            int32_t srcHeight, const void* bits, const CDibHeader& header,
                            uint32_t usage, uint32_t rop);

}  // namespace platform
