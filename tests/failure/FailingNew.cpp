#include "failure/FailingNew.h"

#include <cstdlib>
#include <new>
#include <stdexcept>

namespace failing_new {

namespace {

bool g_armed = false;
long g_count = 0;
long g_failAt = 0;
bool g_everyAfter = false;
Failure g_how = Failure::BadAlloc;

// Counts the allocation while armed and says whether it is to fail.
bool ShouldFail() {
    if (!g_armed) return false;
    ++g_count;
    return g_failAt > 0 && (g_count == g_failAt || (g_everyAfter && g_count > g_failAt));
}

void* Allocate(std::size_t size) {
    if (ShouldFail()) {
        // The exception's message allocates too; that allocation is neither counted nor failed.
        g_armed = false;
        struct Rearm {
            ~Rearm() { g_armed = true; }
        } rearm;
        if (g_how == Failure::Exception) throw std::runtime_error("allocation refused by the test");
        throw std::bad_alloc();
    }
    if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
    throw std::bad_alloc();
}

void* AllocateNoThrow(std::size_t size) noexcept {
    if (ShouldFail()) return nullptr;
    return std::malloc(size == 0 ? 1 : size);
}

}  // namespace

NewFailure::NewFailure(long failAt, bool everyAfter, Failure how) {
    g_count = 0;
    g_failAt = failAt;
    g_everyAfter = everyAfter;
    g_how = how;
    g_armed = true;
}

NewFailure::~NewFailure() { g_armed = false; }

long NewFailure::Allocations() const { return g_count; }

}  // namespace failing_new

void* operator new(std::size_t size) { return failing_new::Allocate(size); }
void* operator new[](std::size_t size) { return failing_new::Allocate(size); }
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
    return failing_new::AllocateNoThrow(size);
}
void* operator new[](std::size_t size, const std::nothrow_t&) noexcept {
    return failing_new::AllocateNoThrow(size);
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete[](void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
void operator delete[](void* p, std::size_t) noexcept { std::free(p); }
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }
void operator delete[](void* p, const std::nothrow_t&) noexcept { std::free(p); }
