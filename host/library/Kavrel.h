// The kavrel library loaded at run time, with its 22 exported functions resolved by name: the one
// loader of the host and of the tests that call the exports.
#pragma once

#include <string>

#include "base/NonCopyable.h"
#include "kavrel.h"
#include "kavrel_exports.h"

namespace host {

class CKavrel : private kavrel::CNonCopyable {
public:
    // Loads the library from path, or, when path is empty, the library beside the program.
    // Throws CLibraryError naming the file when it cannot be loaded or lacks an export.
    explicit CKavrel(const std::string& path);
    virtual ~CKavrel();

    // The library's path as the host loaded it.
    const std::string& Path() const { return m_strPath; }

    // The path the host loads when no --library is given.
    static std::string DefaultPath();

    // The 22 functions, each of the type kavrel.h declares it with.
#define KAVREL_FUNCTION_POINTER(name, bytes) decltype(&::name) name = nullptr;
    KAVREL_EXPORTS(KAVREL_FUNCTION_POINTER)
#undef KAVREL_FUNCTION_POINTER

private:
    template <class Function>
    void Resolve(Function& function, const char* name);

    std::string m_strPath;
    void* m_pLibrary;
};

}  // namespace host
