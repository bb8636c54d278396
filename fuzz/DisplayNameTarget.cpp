// Fuzz target: the name of the file display, which comes from the host ("file:" and a pattern,
// through SetDeviceName) and is handed to snprintf as a format. Only patterns with at most one
// integer conversion may pass IsFileNamePattern; FileNameFor then expands them for any drawing
// number, and what comes out holds a '%' only where the pattern held "%%".
//
// Input: the drawing number (32 bits), then the pattern up to its first NUL, as a C string ends.
#include <string>

#include "fuzz/FuzzSupport.h"
#include "base/ByteIO.h"
#include "platform/FileDisplay.h"

namespace {

size_t Count(const std::string& s, const std::string& what) {
    size_t n = 0;
    for (size_t at = s.find(what); at != std::string::npos; at = s.find(what, at + what.size()))
        ++n;
    return n;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 4) return 0;
    const uint32_t number = kavrel::ReadLE32(data);
    std::string pattern(reinterpret_cast<const char*>(data + 4), size - 4);
    pattern = pattern.substr(0, pattern.find('\0'));
    if (!platform::IsFileNamePattern(pattern)) return 0;

    const size_t conversions = Count(pattern, "%") - 2 * Count(pattern, "%%");
    FUZZ_CHECK(conversions <= 1);
    for (const uint32_t n : {0u, 1u, number, 0x7FFFFFFFu, 0x80000000u, 0xFFFFFFFFu}) {
        const std::string name = platform::FileNameFor(pattern, n);
        FUZZ_CHECK(!name.empty());
        // A conversion gives at most 99 characters of width or 11 of a number.
        FUZZ_CHECK(name.size() <= pattern.size() + 99 + 11);
        FUZZ_CHECK(Count(name, "%") == Count(pattern, "%%"));
    }
    return 0;
}
