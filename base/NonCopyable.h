// The base of every class that owns something (a buffer, a file, a lock, a display): such an
// object is never copied, and it is destroyed whole through a pointer to any of its bases.
#pragma once

namespace kavrel {

class CNonCopyable {
public:
    CNonCopyable(const CNonCopyable&) = delete;
    CNonCopyable& operator=(const CNonCopyable&) = delete;

protected:
    CNonCopyable() = default;
    virtual ~CNonCopyable() = default;
};

}  // namespace kavrel
