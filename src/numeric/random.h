// The program's random numbers. The main generator, a minimal standard
// multiplicative congruential generator (Schrage's method) behind a 32-entry
// shuffle table, drives complete permutations and torus shifts; a 32-bit
// linear congruential generator that nothing ever seeds decides the torus
// reflections, so its sequence is the same in every run. Replicates can be
// reproduced only if every draw follows these rules to the bit.
#pragma once
#include <cstdint>
#include <ctime>

#include "base/ranged_array.h"

namespace kalveno {

// The largest seed: the generator's states are 1..kLargestSeed.
inline constexpr std::int32_t kLargestSeed = 2147483646;

struct Random {
  // State of the main generator; a value <= 0 makes the next draw rebuild
  // the shuffle table from its negation. Between draws: 1..kLargestSeed.
  std::int32_t random_state = 0;
  std::int32_t shuffle_table[32] = {};
  std::int32_t shuffle_out = 0;  // 0: the table has not been built
  std::uint32_t lcg_state = 1;   // the reflection generator
};

// Seed from the local time of day: seconds x minutes x hours, each factor
// skipped when 0; 1..80063.
std::int32_t seed_from_time(const std::tm& local_time);
// The seed of the current local time.
std::int32_t clock_seed();

// Uniform deviate in (0, 1), never above 0.9999998807907104.
double uniform_deviate(Random& rng);
// Randomly permutes vec[lo..hi] in place; hi - lo draws (none below two elements).
void shuffle_range(RangedVector<int>& vec, int lo, int hi, Random& rng);
// Next value 0..32767 of the reflection generator.
int lcg_rand(Random& rng);

}  // namespace kalveno
