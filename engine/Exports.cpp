// The 22 exported functions. Each forwards to the one engine; no exception leaves the library.
#include "kavrel.h"

#include "engine/FrameEngine.h"

namespace {

// Constructed when the library is loaded, destroyed when it is unloaded.
CFrameEngine g_Engine;

template <class Operation>
auto Guarded(Operation operation, decltype(operation()) fallback) noexcept -> decltype(operation()) {
    try {
        return operation();
    } catch (...) {
        return fallback;
    }
}

template <class Operation>
void Guarded(Operation operation) noexcept {
    try {
        operation();
    } catch (...) {
    }
}

}  // namespace

extern "C" {

KAVREL_API void KAVREL_CALL ShowDialog(void) { Guarded([] { g_Engine.ShowDialog(); }); }

KAVREL_API void KAVREL_CALL SetDeviceName(const char* name) {
    Guarded([=] { g_Engine.SetDeviceName(name); });
}

KAVREL_API void KAVREL_CALL SetLutFile(const char* path) {
    Guarded([=] { g_Engine.SetLutFile(path); });
}

KAVREL_API void KAVREL_CALL SetOffsetFile(const char* path) {
    Guarded([=] { g_Engine.SetOffsetFile(path); });
}

KAVREL_API int KAVREL_CALL SetImageFile(const char* path) {
    // A failure outside Load (the path could not be stored) counts as an unreadable file.
    return Guarded([=] { return g_Engine.SetImageFile(path); }, 1);
}

KAVREL_API void KAVREL_CALL SetScanFile(const char* path) {
    Guarded([=] { g_Engine.SetScanFile(path); });
}

KAVREL_API int KAVREL_CALL SetColor(int color) { return g_Engine.SetColor(color); }

KAVREL_API int KAVREL_CALL SetPosition(int position) { return g_Engine.SetPosition(position); }

KAVREL_API void KAVREL_CALL OpenOutputDevice(void) {
    Guarded([] { g_Engine.OpenOutputDevice(); });
}

KAVREL_API void KAVREL_CALL CloseOutputDevice(void) {
    Guarded([] { g_Engine.CloseOutputDevice(); });
}

KAVREL_API void KAVREL_CALL CalcFrame(int index) { Guarded([=] { g_Engine.CalcFrame(index); }); }

KAVREL_API void KAVREL_CALL OutputFrame(int index) {
    Guarded([=] { g_Engine.OutputFrame(index); });
}

KAVREL_API int KAVREL_CALL SetDelayLine(int mode) { return g_Engine.SetDelayLine(mode); }

KAVREL_API int KAVREL_CALL SetDelayShift(int flag) { return g_Engine.SetDelayShift(flag); }

KAVREL_API void KAVREL_CALL CalcOffset(int color) { Guarded([=] { g_Engine.CalcOffset(color); }); }

KAVREL_API void* KAVREL_CALL SetBitmapPointer(void* pixels) {
    return g_Engine.SetBitmapPointer(pixels);
}

KAVREL_API void KAVREL_CALL OutputBlankFrame(int value) {
    Guarded([=] { g_Engine.OutputBlankFrame(value); });
}

KAVREL_API void KAVREL_CALL SetDensiValue(int index, int value) {
    g_Engine.SetDensiValue(index, value);
}

KAVREL_API void KAVREL_CALL CalcLut(void) { Guarded([] { g_Engine.CalcLut(); }); }

KAVREL_API int KAVREL_CALL SetCorrectionFactor(int factor) {
    return g_Engine.SetCorrectionFactor(factor);
}

KAVREL_API int KAVREL_CALL SetThreshold(int threshold) { return g_Engine.SetThreshold(threshold); }

KAVREL_API int KAVREL_CALL DisableErrorWindow(int flag) { return g_Engine.DisableErrorWindow(flag); }

}  // extern "C"
