#include "base/Allocation.h"

namespace kavrel {

namespace {
AllocationFailureHook g_allocationFailureHook = nullptr;
}

void SetAllocationFailureHook(AllocationFailureHook hook) { g_allocationFailureHook = hook; }

bool AllocationShouldFail(size_t bytes) {
    return g_allocationFailureHook != nullptr && g_allocationFailureHook(bytes);
}

}  // namespace kavrel
