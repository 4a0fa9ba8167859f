// The pair loop on AVX-512: eight lanes per instruction, a last block of four
// in the 256-bit registers, lane masks in mask registers, loaded straight
// from the presence bits.
#include <immintrin.h>

#include "spatial/lane_kernels.h"
#include "spatial/lane_ops_256.h"

namespace {

// x / y from r = 1 / y rounded: q0 = x * r is within one unit in the last
// place of x / y, the remainder x - q0 * y is exact in one fused multiply-add,
// and q0 + remainder * r rounded once is the correctly rounded quotient. That
// holds while nothing underflows or overflows, which the caller ensures by
// the ranges of x and y (see MoranSetup).
struct Ops8 {
  using V = __m512d;
  using M = __mmask8;
  static constexpr int W = 8;
  static constexpr bool kHasReciprocalQuotient = true;
  static constexpr bool kMaskBits = true;
  static M mask_of(unsigned bits) { return static_cast<M>(bits); }
  static V narrow(V w) { return w; }
  static V load(const double* p) { return _mm512_loadu_pd(p); }
  static void store(double* p, V v) { _mm512_storeu_pd(p, v); }
  static V broadcast(double x) { return _mm512_set1_pd(x); }
  // A broadcast straight from memory, kept a vector: left to itself the
  // compiler squares the scalar first and broadcasts each square, two more
  // operations on the arithmetic units than one vector multiply.
  static V broadcast_from(const double* p) {
    V v = _mm512_set1_pd(*p);
    asm("" : "+v"(v));
    return v;
  }
  static V add(V a, V b) { return _mm512_add_pd(a, b); }
  static V mul(V a, V b) { return _mm512_mul_pd(a, b); }
  static V div(V a, V b) { return _mm512_div_pd(a, b); }
  static V quotient(V x, V y, V r) {
    const V q0 = _mm512_mul_pd(x, r);
    const V remainder = _mm512_fnmadd_pd(q0, y, x);
    return _mm512_fmadd_pd(remainder, r, q0);
  }
  static M row_mask(V present) { return _mm512_cmp_pd_mask(present, _mm512_setzero_pd(), _CMP_NEQ_OQ); }
  static M used(M row, const double* p) {
    return _mm512_mask_cmp_pd_mask(row, _mm512_loadu_pd(p), _mm512_setzero_pd(), _CMP_NEQ_OQ);
  }
  static V masked_add(V acc, M m, V t) { return _mm512_mask_add_pd(acc, m, acc, t); }
  static V add_where(M m, V a, V b) { return _mm512_maskz_add_pd(m, a, b); }
  static V zero_unless(M m, V a) { return _mm512_maskz_mov_pd(m, a); }
  static M equal(V a, V b) { return _mm512_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
  static V select(M m, V a, V b) { return _mm512_mask_blend_pd(m, b, a); }
  static M both(M a, M b) { return static_cast<M>(a & b); }
  static M flip(M a, M b) { return static_cast<M>(a ^ b); }
  static M all_if(bool b) { return static_cast<M>(b ? 0xff : 0); }
};

struct Ops4 : Ops256 {
  using M = __mmask8;
  static constexpr bool kMaskBits = true;
  static M mask_of(unsigned bits) { return static_cast<M>(bits); }
  static V narrow(V w) { return w; }
  // The low half: the cast intrinsic reads an undefined vector, which the
  // compiler warns of.
  static V narrow(__m512d w) { return __builtin_shufflevector(w, w, 0, 1, 2, 3); }
  static M row_mask(V present) { return _mm256_cmp_pd_mask(present, _mm256_setzero_pd(), _CMP_NEQ_OQ); }
  static M used(M row, const double* p) {
    return _mm256_mask_cmp_pd_mask(row, _mm256_loadu_pd(p), _mm256_setzero_pd(), _CMP_NEQ_OQ);
  }
  static V masked_add(V acc, M m, V t) { return _mm256_mask_add_pd(acc, m, acc, t); }
  static V add_where(M m, V a, V b) { return _mm256_maskz_add_pd(m, a, b); }
  static V zero_unless(M m, V a) { return _mm256_maskz_mov_pd(m, a); }
  static M equal(V a, V b) { return _mm256_cmp_pd_mask(a, b, _CMP_EQ_OQ); }
  static V select(M m, V a, V b) { return _mm256_mask_blend_pd(m, b, a); }
  static M both(M a, M b) { return static_cast<M>(a & b); }
  static M flip(M a, M b) { return static_cast<M>(a ^ b); }
  static M all_if(bool b) { return static_cast<M>(b ? 0xf : 0); }
};

}  // namespace

#include "spatial/lane_kernel_body.h"

namespace kalveno {

void add_pairs_avx512(const RowPairs& pairs, const LaneGroup& group, bool count) {
  using B8 = BlockOf<Ops8>;
  using B4 = BlockOf<Ops4>;
  using None = NoBlockOf;
  const int n = group.n_lanes;
  int k = 0, lone = -1;  // lone: a block of four not yet run
  // A group that starts half way along a cache line begins with four lanes,
  // so that the wide blocks after it stay on whole lines.
  if (reinterpret_cast<unsigned long>(group.own) % 64 != 0 && n >= 4) {
    lone = 0;
    k = 4;
  }
  for (; n - k >= 16; k += 16, count = false) pass<B8, B8>(pairs, group, k, k + 8, count);
  switch (n - k) {
    case 12:
      pass<B8, B4>(pairs, group, k, k + 8, count);
      if (lone >= 0) pass<B4, None>(pairs, group, lone, 0, false);
      break;
    case 8:
      if (lone >= 0)
        pass<B8, B4>(pairs, group, k, lone, count);
      else
        pass<B8, None>(pairs, group, k, 0, count);
      break;
    case 4:
      if (lone >= 0)
        pass<B4, B4>(pairs, group, k, lone, count);
      else
        pass<B4, None>(pairs, group, k, 0, count);
      break;
    default:
      if (lone >= 0) pass<B4, None>(pairs, group, lone, 0, count);
  }
}

void quotients_avx512(const double* x, const double* y, double* out, int n) { quotients_with<Ops8>(x, y, out, n); }

}  // namespace kalveno
