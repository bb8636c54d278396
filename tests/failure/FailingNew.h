// The global operator new of the failure tests, replaced so that any allocation of the program
// can be made to fail: the one of a sample buffer, a string, a vector, a std::function alike.
#pragma once

#include "base/NonCopyable.h"

namespace failing_new {

enum class Failure {
    BadAlloc,   // throwing forms throw std::bad_alloc, nothrow forms return null
    Exception,  // throwing forms throw std::runtime_error, nothrow forms return null
};

// While it exists, allocation number n (counting from 1) fails, and with everyAfter every later
// one too; n = 0 only counts. Allocations(): how many were asked for while it existed.
class NewFailure : private kavrel::CNonCopyable {
public:
    explicit NewFailure(long failAt, bool everyAfter = false, Failure how = Failure::BadAlloc);
    ~NewFailure();
    long Allocations() const;
};

}  // namespace failing_new
