// The arithmetic of four doubles in a 256-bit register, shared by the AVX2
// and the AVX-512 pair loops, which differ only in how they keep lane masks.
// Included by those two files alone, each compiled for its own processor:
// everything here is local to the including file, so the linker never hands
// one processor's copy to the other.
#pragma once
#include <immintrin.h>

namespace {

struct Ops256 {
  using V = __m256d;
  static constexpr int W = 4;
  static constexpr bool kHasReciprocalQuotient = true;
  static V load(const double* p) { return _mm256_loadu_pd(p); }
  static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
  static V broadcast(double x) { return _mm256_set1_pd(x); }
  static V broadcast_from(const double* p) { return _mm256_broadcast_sd(p); }
  static V add(V a, V b) { return _mm256_add_pd(a, b); }
  static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V div(V a, V b) { return _mm256_div_pd(a, b); }
  // The quotient from the rounded reciprocal, as on eight lanes.
  static V quotient(V x, V y, V r) {
    const V q0 = _mm256_mul_pd(x, r);
    const V remainder = _mm256_fnmadd_pd(q0, y, x);
    return _mm256_fmadd_pd(remainder, r, q0);
  }
};

}  // namespace
