#include "AllocationCounter.h"

#include <cstdlib>
#include <new>

namespace {
thread_local std::uint64_t threadAllocations = 0;
}

std::atomic<unsigned long long>& allocationCount() {
    static std::atomic<unsigned long long> count{0};
    return count;
}

std::uint64_t threadAllocationCount() { return threadAllocations; }

// Replacing the global operators with malloc/free is allowed; g++ cannot see that.
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"

void* operator new(std::size_t size) {
    allocationCount().fetch_add(1, std::memory_order_relaxed);
    ++threadAllocations;
    if (void* p = std::malloc(size ? size : 1)) return p;
    throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
