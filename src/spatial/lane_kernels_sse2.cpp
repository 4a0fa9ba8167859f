// The pair loop on plain SSE2, which every 64-bit x86 processor has: two
// lanes per instruction and a true division for every quotient (without
// fused multiply-add there is no exact remainder to correct a reciprocal by).
#include <emmintrin.h>

#include "spatial/lane_kernels.h"

namespace {

struct Ops2 {
  using V = __m128d;
  using M = __m128d;
  static constexpr int W = 2;
  static constexpr bool kHasReciprocalQuotient = false;
  static constexpr bool kMaskBits = false;
  static V narrow(V w) { return w; }
  static V load(const double* p) { return _mm_loadu_pd(p); }
  static void store(double* p, V v) { _mm_storeu_pd(p, v); }
  static V broadcast(double x) { return _mm_set1_pd(x); }
  static V broadcast_from(const double* p) { return _mm_load1_pd(p); }
  static V add(V a, V b) { return _mm_add_pd(a, b); }
  static V mul(V a, V b) { return _mm_mul_pd(a, b); }
  static V div(V a, V b) { return _mm_div_pd(a, b); }
  static M row_mask(V present) { return _mm_cmpneq_pd(present, _mm_setzero_pd()); }
  static M used(M row, const double* p) { return _mm_and_pd(row, _mm_cmpneq_pd(_mm_loadu_pd(p), _mm_setzero_pd())); }
  static V masked_add(V acc, M m, V t) { return _mm_add_pd(acc, _mm_and_pd(m, t)); }
  static V add_where(M m, V a, V b) { return _mm_and_pd(m, _mm_add_pd(a, b)); }
  static V zero_unless(M m, V a) { return _mm_and_pd(m, a); }
  static M equal(V a, V b) { return _mm_cmpeq_pd(a, b); }
  static V select(M m, V a, V b) { return _mm_or_pd(_mm_and_pd(m, a), _mm_andnot_pd(m, b)); }
  static M both(M a, M b) { return _mm_and_pd(a, b); }
  static M flip(M a, M b) { return _mm_xor_pd(a, b); }
  static M all_if(bool b) { return _mm_castsi128_pd(_mm_set1_epi64x(b ? -1 : 0)); }
};

}  // namespace

#include "spatial/lane_kernel_body.h"

namespace kalveno {

void add_pairs_sse2(const RowPairs& pairs, const LaneGroup& group, bool count) {
  using B = BlockOf<Ops2>;
  int k = 0;
  for (; group.n_lanes - k >= 4; k += 4, count = false) pass<B, B>(pairs, group, k, k + 2, count);
  if (k < group.n_lanes) pass<B, NoBlockOf>(pairs, group, k, 0, count);
}

void quotients_sse2(const double* x, const double* y, double* out, int n) { quotients_with<Ops2>(x, y, out, n); }

}  // namespace kalveno
