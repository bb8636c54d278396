// The 22 exported functions. Each forwards to the one engine; no exception leaves the library.
// One lock serialises them: the engine's state is not meant for two threads at once.
#include "kavrel.h"

#include "engine/FrameEngine.h"
#include "platform/File.h"
#include "base/NonCopyable.h"

namespace {

// Constructed when the library is loaded, destroyed when it is unloaded; the lock before the
// engine and after it. The lock is recursive: a host may call in again from its own message loop
// while the library shows a box.
platform::CRecursiveLock g_Lock;
CFrameEngine g_Engine;

class CSerialised : private kavrel::CNonCopyable {
public:
    CSerialised() { g_Lock.Lock(); }
    virtual ~CSerialised() { g_Lock.Unlock(); }
};

// A call that stores a setting and cannot fail, made under the lock.
template <class Operation>
auto Serialised(Operation operation) -> decltype(operation()) {
    const CSerialised serialised;
    return operation();
}

template <class Operation>
auto Guarded(Operation operation, decltype(operation()) fallback) noexcept -> decltype(operation()) {
    const CSerialised serialised;
    try {
        return operation();
    } catch (...) {
        return fallback;
    }
}

template <class Operation>
void Guarded(Operation operation) noexcept {
    const CSerialised serialised;
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

KAVREL_API int KAVREL_CALL SetColor(int color) {
    return Serialised([=] { return g_Engine.SetColor(color); });
}

KAVREL_API int KAVREL_CALL SetPosition(int position) {
    return Serialised([=] { return g_Engine.SetPosition(position); });
}

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

KAVREL_API int KAVREL_CALL SetDelayLine(int mode) {
    return Serialised([=] { return g_Engine.SetDelayLine(mode); });
}

KAVREL_API int KAVREL_CALL SetDelayShift(int flag) {
    return Serialised([=] { return g_Engine.SetDelayShift(flag); });
}

KAVREL_API void KAVREL_CALL CalcOffset(int color) { Guarded([=] { g_Engine.CalcOffset(color); }); }

KAVREL_API void* KAVREL_CALL SetBitmapPointer(void* pixels) {
    return Serialised([=] { return g_Engine.SetBitmapPointer(pixels); });
}

KAVREL_API void KAVREL_CALL OutputBlankFrame(int value) {
    Guarded([=] { g_Engine.OutputBlankFrame(value); });
}

KAVREL_API void KAVREL_CALL SetDensiValue(int index, int value) {
    Serialised([=] { g_Engine.SetDensiValue(index, value); });
}

KAVREL_API void KAVREL_CALL CalcLut(void) { Guarded([] { g_Engine.CalcLut(); }); }

KAVREL_API int KAVREL_CALL SetCorrectionFactor(int factor) {
    return Serialised([=] { return g_Engine.SetCorrectionFactor(factor); });
}

KAVREL_API int KAVREL_CALL SetThreshold(int threshold) {
    return Serialised([=] { return g_Engine.SetThreshold(threshold); });
}

KAVREL_API int KAVREL_CALL DisableErrorWindow(int flag) {
    return Serialised([=] { return g_Engine.DisableErrorWindow(flag); });
}

}  // extern "C"
