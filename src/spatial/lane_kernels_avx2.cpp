// The pair loop on AVX2 with fused multiply-add: four lanes per instruction,
// lane masks as vectors of all-one or all-zero bits.
#include <immintrin.h>

#include "spatial/lane_kernels.h"

namespace {

// The quotient from the rounded reciprocal, as on AVX-512.
struct Ops4 {
  using V = __m256d;
  using M = __m256d;
  static constexpr int W = 4;
  static constexpr bool kHasReciprocalQuotient = true;
  static constexpr bool kMaskBits = false;
  static V narrow(V w) { return w; }
  static V load(const double* p) { return _mm256_loadu_pd(p); }
  static void store(double* p, V v) { _mm256_storeu_pd(p, v); }
  static V broadcast(double x) { return _mm256_set1_pd(x); }
  static V broadcast_from(const double* p) { return _mm256_broadcast_sd(p); }
  static V add(V a, V b) { return _mm256_add_pd(a, b); }
  static V mul(V a, V b) { return _mm256_mul_pd(a, b); }
  static V div(V a, V b) { return _mm256_div_pd(a, b); }
  static V quotient(V x, V y, V r) {
    const V q0 = _mm256_mul_pd(x, r);
    const V remainder = _mm256_fnmadd_pd(q0, y, x);
    return _mm256_fmadd_pd(remainder, r, q0);
  }
  static M row_mask(V present) { return _mm256_cmp_pd(present, _mm256_setzero_pd(), _CMP_NEQ_OQ); }
  static M used(M row, const double* p) {
    return _mm256_and_pd(row, _mm256_cmp_pd(_mm256_loadu_pd(p), _mm256_setzero_pd(), _CMP_NEQ_OQ));
  }
  static V masked_add(V acc, M m, V t) { return _mm256_add_pd(acc, _mm256_and_pd(m, t)); }
  static V add_where(M m, V a, V b) { return _mm256_and_pd(m, _mm256_add_pd(a, b)); }
  static V zero_unless(M m, V a) { return _mm256_and_pd(m, a); }
  static M equal(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static V select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }
};

}  // namespace

#include "spatial/lane_kernel_body.h"

namespace kalveno {

void add_pairs_avx2(const RowPairs& pairs, const LaneGroup& group, bool count) {
  using B = BlockOf<Ops4>;
  int k = 0;
  for (; group.n_lanes - k >= 8; k += 8, count = false) pass<B, B>(pairs, group, k, k + 4, count);
  if (k < group.n_lanes) pass<B, NoBlockOf>(pairs, group, k, 0, count);
}

void quotients_avx2(const double* x, const double* y, double* out, int n) { quotients_with<Ops4>(x, y, out, n); }

}  // namespace kalveno
