#include "numeric/random.h"

#include <utility>

namespace kalveno {

namespace {

constexpr std::int32_t kModulus = 2147483647;  // 2^31 - 1
constexpr std::int32_t kMultiplier = 16807;
constexpr std::int32_t kQuotient = 127773;     // kModulus / kMultiplier
constexpr std::int32_t kRemainder = 2836;      // kModulus % kMultiplier
constexpr std::int32_t kTableDivisor = 1 + (kModulus - 1) / 32;
constexpr double kScale = 1.0 / 2147483648.0;  // 2^-31, exactly the float nearest 1/kModulus
constexpr double kCeilingTest = 0.99999988;
constexpr double kCeiling = 0.9999998807907104;  // the float 1 - 2^-23

// One step of s <- 16807 s mod (2^31 - 1), without overflowing 32 bits.
void park_miller_step(std::int32_t& s) {
  std::int32_t k = s / kQuotient;
  s = kMultiplier * (s - k * kQuotient) - kRemainder * k;
  if (s < 0) s += kModulus;
}

}  // namespace

std::int32_t seed_from_time(const std::tm& local_time) {
  std::int32_t seed = 1;
  if (local_time.tm_sec != 0) seed = local_time.tm_sec;
  if (local_time.tm_min != 0) seed *= local_time.tm_min;
  if (local_time.tm_hour != 0) seed *= local_time.tm_hour;
  return seed;
}

std::int32_t clock_seed() {
  std::time_t now = std::time(nullptr);
  std::tm local_time{};
  localtime_r(&now, &local_time);
  return seed_from_time(local_time);
}

double uniform_deviate(Random& rng) {
  std::int32_t& state = rng.random_state;
  if (state <= 0 || rng.shuffle_out == 0) {
    state = state < -kModulus + 1 ? 1 : -state;
    if (state < 1) state = 1;
    for (int j = 39; j >= 0; --j) {
      park_miller_step(state);
      if (j < 32) rng.shuffle_table[j] = state;
    }
    rng.shuffle_out = rng.shuffle_table[0];
  }
  park_miller_step(state);
  int j = rng.shuffle_out / kTableDivisor;
  rng.shuffle_out = rng.shuffle_table[j];
  rng.shuffle_table[j] = state;
  double u = rng.shuffle_out * kScale;
  return u > kCeilingTest ? kCeiling : u;
}

void shuffle_range(RangedVector<int>& vec, int lo, int hi, Random& rng) {
  for (int i = lo; i < hi; ++i) {
    int positions = hi - i + 1;
    int k = static_cast<int>(uniform_deviate(rng) * positions);
    std::swap(vec[i], vec[i + k]);
  }
}

int lcg_rand(Random& rng) {
  rng.lcg_state = rng.lcg_state * 214013u + 2531011u;
  return static_cast<int>((rng.lcg_state >> 16) & 0x7fff);
}

}  // namespace kalveno
