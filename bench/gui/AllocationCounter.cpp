// Counts heap allocations of the benchmark process. Kept in its own file so that the
// compiler does not pair these definitions with inlined library code.

#include <atomic>
#include <cstdlib>
#include <new>

std::atomic<long> gAllocations{0};

void* operator new(std::size_t size) {
    ++gAllocations;
    if (void* p = std::malloc(size ? size : 1))
        return p;
    throw std::bad_alloc();
}

void operator delete(void* p) noexcept {
    std::free(p);
}

void operator delete(void* p, std::size_t) noexcept {
    std::free(p);
}
