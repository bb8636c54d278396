// The shared library loaded by name at run time, with its 22 functions, as a host uses it.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

struct LibraryHost {
    void (*ShowDialog)();
    void (*SetDeviceName)(const char*);
    void (*SetLutFile)(const char*);
    void (*SetOffsetFile)(const char*);
    int (*SetImageFile)(const char*);
    void (*SetScanFile)(const char*);
    int (*SetColor)(int);
    int (*SetPosition)(int);
    void (*OpenOutputDevice)();
    void (*CloseOutputDevice)();
    void (*CalcFrame)(int);
    void (*OutputFrame)(int);
    int (*SetDelayLine)(int);
    int (*SetDelayShift)(int);
    void (*CalcOffset)(int);
    void* (*SetBitmapPointer)(void*);
    void (*OutputBlankFrame)(int);
    void (*SetDensiValue)(int, int);
    void (*CalcLut)();
    int (*SetCorrectionFactor)(int);
    int (*SetThreshold)(int);
    int (*DisableErrorWindow)(int);

    // The one loaded library; every test shares its engine, as the host's calls would.
    static LibraryHost& Get() {
        static LibraryHost host(KAVREL_LIBRARY_PATH);
        return host;
    }

private:
    explicit LibraryHost(const char* path) : m_handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (m_handle == nullptr) throw std::runtime_error(dlerror());
#define KAVREL_RESOLVE(name) Resolve(name, #name)
        KAVREL_RESOLVE(ShowDialog);
        KAVREL_RESOLVE(SetDeviceName);
        KAVREL_RESOLVE(SetLutFile);
        KAVREL_RESOLVE(SetOffsetFile);
        KAVREL_RESOLVE(SetImageFile);
        KAVREL_RESOLVE(SetScanFile);
        KAVREL_RESOLVE(SetColor);
        KAVREL_RESOLVE(SetPosition);
        KAVREL_RESOLVE(OpenOutputDevice);
        KAVREL_RESOLVE(CloseOutputDevice);
        KAVREL_RESOLVE(CalcFrame);
        KAVREL_RESOLVE(OutputFrame);
        KAVREL_RESOLVE(SetDelayLine);
        KAVREL_RESOLVE(SetDelayShift);
        KAVREL_RESOLVE(CalcOffset);
        KAVREL_RESOLVE(SetBitmapPointer);
        KAVREL_RESOLVE(OutputBlankFrame);
        KAVREL_RESOLVE(SetDensiValue);
        KAVREL_RESOLVE(CalcLut);
        KAVREL_RESOLVE(SetCorrectionFactor);
        KAVREL_RESOLVE(SetThreshold);
        KAVREL_RESOLVE(DisableErrorWindow);
#undef KAVREL_RESOLVE
    }

    template <class Function>
    void Resolve(Function& function, const char* name) {
        void* symbol = dlsym(m_handle, name);
        if (symbol == nullptr) throw std::runtime_error(std::string("missing export ") + name);
        function = reinterpret_cast<Function>(symbol);
    }

    void* m_handle;
};
