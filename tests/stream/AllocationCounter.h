#pragma once
// Heap allocations made through operator new in this test program so far.

#include <atomic>

std::atomic<unsigned long long>& allocationCount();
