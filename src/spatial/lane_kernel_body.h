// The pair loop of lane_kernels.h written once over a set of vector
// operations. Each path's source file defines its operations and includes
// this file; everything here has internal linkage, so each path keeps its own
// copy compiled for its own processor.
//
// Operations a set provides, on W lanes: V a vector of doubles, M a lane mask;
// load, store, broadcast, add, mul, div; quotient(x, y, r), the correctly
// rounded x / y from the rounded reciprocal r of y; used(row_mask, p), the
// lanes of row_mask where p holds a non-zero; masked_add(acc, m, t), acc + t
// in the lanes of m and acc elsewhere; add_where(m, a, b), a + b in the lanes
// of m and +0 elsewhere; zero_unless(m, a); equal(a, b); select(m, a, b).
#pragma once
#include "spatial/lane_kernels.h"

namespace {

using kalveno::GatheredPairs;
using kalveno::kClassBits;
using kalveno::kInRegressionBit;
using kalveno::LaneGroup;

// A lane that does not use a pair adds +0 to its sums or nothing at all, which
// leaves them as they are: sums start at +0, so they never are -0. Regression
// terms of unused lanes are never looked at, so a 0 * -inf there (distance 0)
// does no harm.
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
  // The regression sums, in registers for the whole stretch.
  double* const reg = regression;
  V pairs_in = O::load(reg + kalveno::kPairs * stride), sum_i = O::load(reg + kalveno::kSumI * stride);
  V sum_id = O::load(reg + kalveno::kSumId * stride), sum_ilog = O::load(reg + kalveno::kSumIlog * stride);
  V sum_d = O::load(reg + kalveno::kSumD * stride), sum_d2 = O::load(reg + kalveno::kSumD2 * stride);
  V sum_log = O::load(reg + kalveno::kSumLog * stride), sum_log2 = O::load(reg + kalveno::kSumLog2 * stride);

  // Local copies: the sums are stored through pointers the compiler cannot
  // tell apart from these.
  const int* __restrict sample = pairs.sample;
  const int* __restrict code = pairs.code;
  const double* __restrict distance = pairs.distance;
  const double* __restrict log_distance = pairs.log_distance;
  const double* __restrict distance_squared = pairs.distance_squared;
  const double* __restrict log_distance_squared = pairs.log_distance_squared;
  const int n_pairs = pairs.n_pairs;
  for (int e = 0; e < n_pairs; ++e) {
    const long j = sample[e];
    const M used = O::used(row_mask, present + j * stride);
    // iij and used_one are 0 in the lanes that do not use the pair: the class
    // sums take whole vectors, so that each store can feed the next load of
    // the same class straight away.
    V iij;
    if constexpr (kQuantitative) {
      const V product = O::mul(own_i, O::load(own + j * stride));
      V quotient;
      if constexpr (kReciprocal)
        quotient = O::quotient(product, variance, reciprocal);
      else
        quotient = O::div(product, variance);
      iij = O::add_where(used, quotient, inverse_n_minus_1);
    } else {
      iij = O::zero_unless(used, O::select(O::equal(own_i, O::load(own + j * stride)), one, unlike));
    }
    const V used_one = O::zero_unless(used, one);

    // Never class 0, so never the sums over all pairs held in all_sum.
    const long c = code[e] & kClassBits;
    O::store(class_sum + c * stride, O::add(O::load(class_sum + c * stride), iij));
    O::store(class_used + c * stride, O::add(O::load(class_used + c * stride), used_one));
    if constexpr (kSumAll) {
      all_sum = O::add(all_sum, iij);
      all_used = O::add(all_used, used_one);
    }

    // Without an interval every pair enters the regression, whose count and
    // sum of Iij are then those of all pairs.
    if constexpr (kRestricted) {
      if (!(code[e] & kInRegressionBit)) continue;
      pairs_in = O::add(pairs_in, used_one);
      sum_i = O::add(sum_i, iij);
    }
    const V d = O::broadcast(distance[e]), log_d = O::broadcast(log_distance[e]);
    sum_id = O::masked_add(sum_id, used, O::mul(iij, d));
    sum_ilog = O::masked_add(sum_ilog, used, O::mul(iij, log_d));
    sum_d = O::masked_add(sum_d, used, d);
    sum_d2 = O::masked_add(sum_d2, used, O::broadcast(distance_squared[e]));
    sum_log = O::masked_add(sum_log, used, log_d);
    sum_log2 = O::masked_add(sum_log2, used, O::broadcast(log_distance_squared[e]));
  }

  if constexpr (kSumAll) {
    O::store(class_sum, all_sum);
    O::store(class_used, all_used);
  }
  O::store(reg + kalveno::kPairs * stride, pairs_in);
  O::store(reg + kalveno::kSumI * stride, sum_i);
  O::store(reg + kalveno::kSumId * stride, sum_id);
  O::store(reg + kalveno::kSumIlog * stride, sum_ilog);
  O::store(reg + kalveno::kSumD * stride, sum_d);
  O::store(reg + kalveno::kSumD2 * stride, sum_d2);
  O::store(reg + kalveno::kSumLog * stride, sum_log);
  O::store(reg + kalveno::kSumLog2 * stride, sum_log2);
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
