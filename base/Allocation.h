// Buffer allocation that reports failure instead of throwing, with a hook for tests.
#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <new>

namespace kavrel {

// Test hook: when set, it is asked before every buffer allocation with its size in bytes and
// may make it fail.
using AllocationFailureHook = bool (*)(size_t bytes);
void SetAllocationFailureHook(AllocationFailureHook hook);
bool AllocationShouldFail(size_t bytes);

// A new uninitialised buffer of count elements, or null when it cannot be had.
template <class T>
std::unique_ptr<T[]> TryAllocate(size_t count) {
    if (count > SIZE_MAX / sizeof(T) || AllocationShouldFail(count * sizeof(T))) return nullptr;
    return std::unique_ptr<T[]>(new (std::nothrow) T[count]);
}

}  // namespace kavrel
