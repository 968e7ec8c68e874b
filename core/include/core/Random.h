#pragma once
// The process-wide pseudo-random generator with the classic 15-bit range (0..32767).
// Start-up seeds it with the time; tests replace its source to make draws predictable.
// Safe to call from any thread.

#include <functional>

constexpr int kRandomMax = 32767;

// Restarts the sequence from a seed.
void seedRandom(unsigned seed);

// The next value, 0..32767.
int nextRandom();

// Replaces the generator with a source of values (each is masked to 0..32767);
// an empty function restores the built-in generator.
void setRandomSource(std::function<int()> source);
