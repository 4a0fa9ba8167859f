// Random numbers for tests that draw sample by sample. Each sample has a
// stream of its own, fixed by the run's seed and the sample's number alone,
// and each replicate of the sample a stretch of that stream, so a
// replicate's draws are the same whichever thread or process computes it, in
// whatever order the samples and replicates come, and however many numbers
// the other replicates took.
//
// The numbers are those of the splitmix64 generator: a 64-bit count stepped
// by a fixed odd constant, each count passed through a mixing function. A
// sample's base count is its key (seed in the high 32 bits, sample number in
// the low 32) passed through the same mixing, which scatters the samples
// over the 2^64 counts; replicate r takes the counts base + (r 2^32 + t) step
// for t = 1, 2, ... With 10 000 samples of 999 replicates drawing 30 numbers
// each, the chance that any two samples share a single count is about 1 in
// 300.
#pragma once
#include <cstdint>

namespace kalveno {

class SampleStream {
 public:
  SampleStream(std::int32_t seed, int sample)
      : base_(mix((static_cast<std::uint64_t>(static_cast<std::uint32_t>(seed)) << 32) |
                  static_cast<std::uint32_t>(sample))),
        count_(base_) {}

  // Goes to the start of replicate r's stretch (r >= 0), which holds 2^32
  // numbers.
  void start_replicate(int r) { count_ = base_ + (static_cast<std::uint64_t>(r) << 32) * kStep; }

  // The next 64 random bits.
  std::uint64_t next() {
    count_ += kStep;
    return mix(count_);
  }

  // A whole number from 0 to m - 1 (m >= 1): the high half of the 128-bit
  // product of 64 random bits and m, which favours some numbers over others
  // by less than m / 2^64.
  std::uint32_t below(std::uint32_t m) {
    return static_cast<std::uint32_t>((static_cast<unsigned __int128>(next()) * m) >> 64);
  }

 private:
  static constexpr std::uint64_t kStep = 0x9e3779b97f4a7c15u;

  static std::uint64_t mix(std::uint64_t x) {
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9u;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebu;
    return x ^ (x >> 31);
  }

  std::uint64_t base_, count_;
};

}  // namespace kalveno
