#pragma once
// Heap allocations made through the global operator new, for tests and benchmarks that
// check a path allocates nothing. Linking the object library nimbrosta_alloc_counter
// replaces the program's operator new and delete.

#include <atomic>
#include <cstdint>

// Every allocation of the process so far.
std::atomic<unsigned long long>& allocationCount();
// Allocations made by the calling thread so far.
std::uint64_t threadAllocationCount();
