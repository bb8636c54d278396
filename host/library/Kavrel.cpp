#include "library/Kavrel.h"

#include "common/Errors.h"
#include "files/SharedLibrary.h"

namespace host {

std::string CKavrel::DefaultPath() { return BesideProgram(LibraryFileName()); }

CKavrel::CKavrel(const std::string& path)
    : m_strPath(path.empty() ? DefaultPath() : path), m_pLibrary(nullptr) {
    if (IsFolder(m_strPath))
        throw CLibraryError("the library " + m_strPath + " is a folder; give the library file " +
                            "in it (" + LibraryFileName() + ")");
    m_strPath = InCurrentFolder(m_strPath);
    std::string error;
    m_pLibrary = OpenLibrary(m_strPath, error);
    if (m_pLibrary == nullptr)
        throw CLibraryError("cannot load the library " + m_strPath + ": " + error);
#define KAVREL_RESOLVE(name, bytes) Resolve(name, #name);
    KAVREL_EXPORTS(KAVREL_RESOLVE)
#undef KAVREL_RESOLVE
}

CKavrel::~CKavrel() {
    if (m_pLibrary != nullptr) CloseLibrary(m_pLibrary);
}

template <class Function>
void CKavrel::Resolve(Function& function, const char* name) {
    void* address = FindFunction(m_pLibrary, name);
    if (address == nullptr) {
        CloseLibrary(m_pLibrary);
        m_pLibrary = nullptr;
        throw CLibraryError("the library " + m_strPath + " has no function " + name +
                         ": it is not a kavrel library");
    }
    function = reinterpret_cast<Function>(address);
}

}  // namespace host
