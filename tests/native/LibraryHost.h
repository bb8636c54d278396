// The shared library loaded by name at run time, with its 22 functions, as a host uses it.
#pragma once

#include <dlfcn.h>

#include <stdexcept>
#include <string>

#include "kavrel.h"
#include "kavrel_exports.h"

struct LibraryHost {
#define KAVREL_FUNCTION_POINTER(name, bytes) decltype(&::name) name = nullptr;
    KAVREL_EXPORTS(KAVREL_FUNCTION_POINTER)
#undef KAVREL_FUNCTION_POINTER

    // The one loaded library; every test shares its engine, as the host's calls would.
    static LibraryHost& Get() {
        static LibraryHost host(KAVREL_LIBRARY_PATH);
        return host;
    }

private:
    explicit LibraryHost(const char* path) : m_handle(dlopen(path, RTLD_NOW | RTLD_LOCAL)) {
        if (m_handle == nullptr) throw std::runtime_error(dlerror());
#define KAVREL_RESOLVE(name, bytes) Resolve(name, #name);
        KAVREL_EXPORTS(KAVREL_RESOLVE)
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
