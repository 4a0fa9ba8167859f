// The pair loop on AVX2 with fused multiply-add: four lanes per instruction,
// lane masks as vectors of all-one or all-zero bits.
#include <immintrin.h>

#include "spatial/lane_kernels.h"
#include "spatial/lane_ops_256.h"

namespace {

struct Ops4 : Ops256 {
  using M = __m256d;
  static constexpr bool kMaskBits = false;
  static V narrow(V w) { return w; }
  static M row_mask(V present) { return _mm256_cmp_pd(present, _mm256_setzero_pd(), _CMP_NEQ_OQ); }
  static M used(M row, const double* p) {
    return _mm256_and_pd(row, _mm256_cmp_pd(_mm256_loadu_pd(p), _mm256_setzero_pd(), _CMP_NEQ_OQ));
  }
  static V masked_add(V acc, M m, V t) { return _mm256_add_pd(acc, _mm256_and_pd(m, t)); }
  static V add_where(M m, V a, V b) { return _mm256_and_pd(m, _mm256_add_pd(a, b)); }
  static V zero_unless(M m, V a) { return _mm256_and_pd(m, a); }
  static M equal(V a, V b) { return _mm256_cmp_pd(a, b, _CMP_EQ_OQ); }
  static V select(M m, V a, V b) { return _mm256_blendv_pd(b, a, m); }
  static M both(M a, M b) { return _mm256_and_pd(a, b); }
  static M flip(M a, M b) { return _mm256_xor_pd(a, b); }
  static M all_if(bool b) { return _mm256_castsi256_pd(_mm256_set1_epi64x(b ? -1 : 0)); }
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
