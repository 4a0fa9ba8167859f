// The pair loop of lane_kernels.h written once over a set of vector
// operations. Each path's source file defines its operations and includes
// this file; everything here has internal linkage, so each path keeps its own
// copy compiled for its own processor.
//
// Operations a set provides, on W lanes: V a vector of doubles, M a lane mask;
// load, store, broadcast, add, mul, div; quotient(x, y, r), the correctly
// rounded x / y from the rounded reciprocal r of y; used(row_mask, p), the
// lanes of row_mask where p holds a non-zero; masked_add(acc, m, t), acc + t
// in the lanes of m and acc elsewhere; equal(a, b); select(m, a, b).
#pragma once
#include "spatial/lane_kernels.h"

namespace {

using kalveno::GatheredPairs;
using kalveno::kClassBits;
using kalveno::kInRegressionBit;
using kalveno::LaneGroup;

// A sum only ever adds to itself in the lanes of its mask, which gives the
// same bits as adding the term of a used lane and +0 for an unused one: sums
// start at +0, so they never are -0. Terms of unused lanes are never looked
// at, so a 0 * -inf there (distance 0) does no harm.
template <class O, bool kQuantitative, bool kReciprocal, bool kSumAll, bool kRestricted>
void add_block(const GatheredPairs& pairs, const LaneGroup& g, int k) {
  using V = typename O::V;
  using M = typename O::M;
  const long stride = g.lane_stride;
  const double* own = g.own + k;
  const double* present = g.present + k;
  double* class_sum = g.class_sum + k;
  double* class_used = g.class_used + k;
  double* regression = g.regression + k;

  const V own_i = O::load(own + g.i * stride);
  const M row_mask = O::row_mask(O::load(present + g.i * stride));
  const V variance = O::load(g.variance + k), reciprocal = O::load(g.reciprocal + k);
  const V unlike = O::load(g.unlike + k);
  const V inverse_n_minus_1 = O::broadcast(g.inverse_n_minus_1), one = O::broadcast(1.0);

  V all_sum = O::load(class_sum), all_used = O::load(class_used);
  V reg[kalveno::kRegressionSums];
  for (int r = 0; r < kalveno::kRegressionSums; ++r) reg[r] = O::load(regression + r * stride);

  const int* sample = pairs.sample;
  const int* code = pairs.code;
  for (int e = 0; e < pairs.n_pairs; ++e) {
    const long j = sample[e];
    const M used = O::used(row_mask, present + j * stride);
    V iij;
    if constexpr (kQuantitative) {
      const V product = O::mul(own_i, O::load(own + j * stride));
      V quotient;
      if constexpr (kReciprocal)
        quotient = O::quotient(product, variance, reciprocal);
      else
        quotient = O::div(product, variance);
      iij = O::add(quotient, inverse_n_minus_1);
    } else {
      iij = O::select(O::equal(own_i, O::load(own + j * stride)), one, unlike);
    }

    // Never class 0, so never the sums over all pairs held in all_sum.
    const long c = code[e] & kClassBits;
    O::store(class_sum + c * stride, O::masked_add(O::load(class_sum + c * stride), used, iij));
    O::store(class_used + c * stride, O::masked_add(O::load(class_used + c * stride), used, one));
    if constexpr (kSumAll) {
      all_sum = O::masked_add(all_sum, used, iij);
      all_used = O::masked_add(all_used, used, one);
    }

    if (!(code[e] & kInRegressionBit)) continue;
    if constexpr (kRestricted) {
      reg[kalveno::kPairs] = O::masked_add(reg[kalveno::kPairs], used, one);
      reg[kalveno::kSumI] = O::masked_add(reg[kalveno::kSumI], used, iij);
    }
    const V d = O::broadcast(pairs.distance[e]), log_d = O::broadcast(pairs.log_distance[e]);
    reg[kalveno::kSumId] = O::masked_add(reg[kalveno::kSumId], used, O::mul(iij, d));
    reg[kalveno::kSumIlog] = O::masked_add(reg[kalveno::kSumIlog], used, O::mul(iij, log_d));
    reg[kalveno::kSumD] = O::masked_add(reg[kalveno::kSumD], used, d);
    reg[kalveno::kSumD2] = O::masked_add(reg[kalveno::kSumD2], used, O::broadcast(pairs.distance_squared[e]));
    reg[kalveno::kSumLog] = O::masked_add(reg[kalveno::kSumLog], used, log_d);
    reg[kalveno::kSumLog2] = O::masked_add(reg[kalveno::kSumLog2], used, O::broadcast(pairs.log_distance_squared[e]));
  }

  if constexpr (kSumAll) {
    O::store(class_sum, all_sum);
    O::store(class_used, all_used);
  }
  for (int r = 0; r < kalveno::kRegressionSums; ++r) O::store(regression + r * stride, reg[r]);
}

template <class O, bool kQuantitative, bool kReciprocal>
void add_block_as(const GatheredPairs& pairs, const LaneGroup& g, int k) {
  if (g.sum_all) {
    if (g.restricted)
      add_block<O, kQuantitative, kReciprocal, true, true>(pairs, g, k);
    else
      add_block<O, kQuantitative, kReciprocal, true, false>(pairs, g, k);
  } else {
    if (g.restricted)
      add_block<O, kQuantitative, kReciprocal, false, true>(pairs, g, k);
    else
      add_block<O, kQuantitative, kReciprocal, false, false>(pairs, g, k);
  }
}

// Lanes k..k+W-1 of the group. A quotient comes from the reciprocal only when
// every lane of the block allows it.
template <class O>
void add_pairs_to_block(const GatheredPairs& pairs, const LaneGroup& g, int k) {
  if (!g.quantitative) return add_block_as<O, false, false>(pairs, g, k);
  if constexpr (O::kHasReciprocalQuotient) {
    bool exact = true;
    for (int lane = k; lane < k + O::W; ++lane) exact = exact && g.reciprocal_exact[lane] != 0;
    if (exact) return add_block_as<O, true, true>(pairs, g, k);
  }
  add_block_as<O, true, false>(pairs, g, k);
}

template <class O>
void quotients_with(const double* x, const double* y, double* out, int n) {
  int e = 0;
  for (; e + O::W <= n; e += O::W) {
    const typename O::V divisor = O::load(y + e);
    if constexpr (O::kHasReciprocalQuotient)
      O::store(out + e, O::quotient(O::load(x + e), divisor, O::div(O::broadcast(1.0), divisor)));
    else
      O::store(out + e, O::div(O::load(x + e), divisor));
  }
  for (; e < n; ++e) out[e] = x[e] / y[e];
}

}  // namespace
