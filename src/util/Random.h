#pragma once

#include <functional>
#include <random>
#include <vector>

namespace kvalor {

// The process's one source of chance, seeded once from the clock and the random device.
// Re-seeding per call would give every question drawn within one clock tick the same shuffle.
std::mt19937& randomGenerator();
// Tests install a deterministic generator; nullptr goes back to the process generator.
void setRandomGenerator(std::mt19937* generator);

// A uniform integer in [0, bound); bound must be positive.
int randomBelow(int bound);

// k distinct indexes of 0 .. n-1 in the order drawn; all n (a random permutation) when k is
// negative or greater than n. n <= 0 gives an empty list.
std::vector<int> RandomSelection(int n, int k);

}  // namespace kvalor
