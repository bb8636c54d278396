/* The library's 22 exported functions in one list, X(name, argument bytes), the bytes being what
 * the called function removes from the stack on 32-bit Windows. The loaders of the host and the
 * tests take each function's type from its declaration in kavrel.h through this list; the build
 * makes the module-definition files and the expected export table from it. */
#ifndef KAVREL_EXPORTS_H
#define KAVREL_EXPORTS_H

#define KAVREL_EXPORTS(X)        \
    X(ShowDialog, 0)             \
    X(SetDeviceName, 4)          \
    X(SetLutFile, 4)             \
    X(SetOffsetFile, 4)          \
    X(SetImageFile, 4)           \
    X(SetScanFile, 4)            \
    X(SetColor, 4)               \
    X(SetPosition, 4)            \
    X(OpenOutputDevice, 0)       \
    X(CloseOutputDevice, 0)      \
    X(CalcFrame, 4)              \
    X(OutputFrame, 4)            \
    X(SetDelayLine, 4)           \
    X(SetDelayShift, 4)          \
    X(CalcOffset, 4)             \
    X(SetBitmapPointer, 4)       \
    X(OutputBlankFrame, 4)       \
    X(SetDensiValue, 8)          \
    X(CalcLut, 0)                \
    X(SetCorrectionFactor, 4)    \
    X(SetThreshold, 4)           \
    X(DisableErrorWindow, 4)

#endif /* KAVREL_EXPORTS_H */
