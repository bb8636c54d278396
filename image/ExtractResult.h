// Result codes of CFrame::ExtractSubPixel (and of CFrame::LoadChannel, which shares them).
#pragma once

enum ExtractResult {
    kExtracted = 0,
    kNotSinglePlane = 1,
    kNot24Bit = 2,
    kCompressed = 3,
    kOutOfMemory = 4,
    kNoPixels = 5,
    // The header describes no image this system handles: rows stored top-down (negative height),
    // a width or height of 0 or below, a size too large to hold, or a colour byte outside 0..2.
    // The frame is left unchanged.
    kUnusableSize = 6,
    // CFrame::ReadTurnedChannel only: the file cannot be opened or read, is no bitmap, or holds
    // fewer pixel bytes than its header needs.
    kUnreadableFile = 7,
};
