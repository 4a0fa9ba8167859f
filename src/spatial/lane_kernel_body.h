// The pair loop of lane_kernels.h written once over a set of vector
// operations. Each path's source file defines its operations and includes
// this file; everything here has internal linkage, so each path keeps its own
// copy compiled for its own processor.
//
// Operations a set provides, on W lanes: V a vector of doubles, M a lane mask;
// load, store, broadcast, broadcast_from (a double in memory), add, mul, div;
// quotient(x, y, r), the correctly rounded x / y from the rounded reciprocal
// r of y; row_mask(v), the lanes
// where v is not 0; used(row_mask, p), the lanes of row_mask where p holds a
// non-zero; masked_add(acc, m, t), acc + t in the lanes of m and acc
// elsewhere; add_where(m, a, b), a + b in the lanes of m and +0 elsewhere;
// zero_unless(m, a); equal(a, b); select(m, a, b).
//
// A pass runs over the pairs once for up to two blocks of lanes, each block
// one vector wide, keeping each block's sums in registers.
#pragma once
#include "spatial/lane_kernels.h"

namespace {

using kalveno::GatheredPairs;
using kalveno::kClassBits;
using kalveno::kInRegressionBit;
using kalveno::LaneGroup;
using kalveno::RowPairs;

// What one pair brings to every lane. The geometry is read from memory by
// each block, straight into a vector of its width.
struct Pair {
  long j;
  long c;  // class
  bool in_regression;
  const double* geometry;  // d, ln d, d * d, ln d * ln d
};

// One block of W lanes. A lane that does not use a pair adds +0 to its sums
// or nothing at all, which leaves them as they are: sums start at +0, so they
// never are -0. Regression terms of unused lanes are never looked at, so a
// 0 * -inf there (distance 0) does no harm.
//
// A complete block (kComplete: every lane uses every pair) leaves out the lane
// masks, the pair counts and the sums of distances, which are the shared ones.
template <class O, bool kQuantitative, bool kReciprocal, bool kRestricted, bool kComplete>
struct Block {
  using V = typename O::V;
  using M = typename O::M;

  long stride;
  const double* own;
  const double* present;
  double* class_sum;
  double* class_used;
  double* regression;
  bool sum_all;
  bool has_distance_lane;
  V own_i, variance, reciprocal, unlike, inverse_n_minus_1, one;
  M row_mask, distance_lane;
  V all_sum, all_used, pairs_in, sum_i, sum_id, sum_ilog, sum_d, sum_d2, sum_log, sum_log2;

  __attribute__((always_inline)) Block(const LaneGroup& g, int k, long i)
      : stride(g.lane_stride),
        own(g.own + k),
        present(g.present + k),
        class_sum(g.class_sum + k),
        class_used(g.class_used + k),
        regression(g.regression + k),
        sum_all(g.sum_all) {
    own_i = O::load(own + i * stride);
    row_mask = O::row_mask(O::load(present + i * stride));
    distance_lane = O::row_mask(O::load(g.distance_flag + k));
    has_distance_lane = false;
    for (int lane = k; lane < k + O::W; ++lane) has_distance_lane = has_distance_lane || g.distance_flag[lane] != 0;
    variance = O::load(g.variance + k);
    reciprocal = O::load(g.reciprocal + k);
    unlike = O::load(g.unlike + k);
    inverse_n_minus_1 = O::broadcast(g.inverse_n_minus_1);
    one = O::broadcast(1.0);
    all_sum = O::load(class_sum);
    all_used = O::load(class_used);
    pairs_in = O::load(regression + kalveno::kPairs * stride);
    sum_i = O::load(regression + kalveno::kSumI * stride);
    sum_id = O::load(regression + kalveno::kSumId * stride);
    sum_ilog = O::load(regression + kalveno::kSumIlog * stride);
    sum_d = O::load(regression + kalveno::kSumD * stride);
    sum_d2 = O::load(regression + kalveno::kSumD2 * stride);
    sum_log = O::load(regression + kalveno::kSumLog * stride);
    sum_log2 = O::load(regression + kalveno::kSumLog2 * stride);
  }

  __attribute__((always_inline)) void add(const Pair& p) {
    if constexpr (kComplete) return add_complete(p);
    const M used = O::used(row_mask, present + p.j * stride);
    // iij and used_one are 0 in the lanes that do not use the pair: the class
    // sums take whole vectors, so that each store can feed the next load of
    // the same class straight away.
    V iij;
    if constexpr (kQuantitative) {
      const V product = O::mul(own_i, O::load(own + p.j * stride));
      V quotient;
      if constexpr (kReciprocal)
        quotient = O::quotient(product, variance, reciprocal);
      else
        quotient = O::div(product, variance);
      iij = O::add_where(used, quotient, inverse_n_minus_1);
    } else {
      iij = O::zero_unless(used, O::select(O::equal(own_i, O::load(own + p.j * stride)), one, unlike));
    }
    if (has_distance_lane) iij = O::select(distance_lane, O::broadcast_from(p.geometry), iij);
    const V used_one = O::zero_unless(used, one);

    // Never class 0, so never the sums over all pairs held in all_sum.
    O::store(class_sum + p.c * stride, O::add(O::load(class_sum + p.c * stride), iij));
    O::store(class_used + p.c * stride, O::add(O::load(class_used + p.c * stride), used_one));
    if (sum_all) {
      all_sum = O::add(all_sum, iij);
      all_used = O::add(all_used, used_one);
    }

    // Without an interval every pair enters the regression, whose count and
    // sum of Iij are then those of all pairs.
    if constexpr (kRestricted) {
      if (!p.in_regression) return;
      pairs_in = O::add(pairs_in, used_one);
      sum_i = O::add(sum_i, iij);
    }
    const V d = O::broadcast_from(p.geometry), log_d = O::broadcast_from(p.geometry + 1);
    sum_id = O::masked_add(sum_id, used, O::mul(iij, d));
    sum_ilog = O::masked_add(sum_ilog, used, O::mul(iij, log_d));
    sum_d = O::masked_add(sum_d, used, d);
    sum_d2 = O::masked_add(sum_d2, used, O::broadcast_from(p.geometry + 2));
    sum_log = O::masked_add(sum_log, used, log_d);
    sum_log2 = O::masked_add(sum_log2, used, O::broadcast_from(p.geometry + 3));
  }

  __attribute__((always_inline)) void add_complete(const Pair& p) {
    V iij;
    if constexpr (kQuantitative) {
      const V product = O::mul(own_i, O::load(own + p.j * stride));
      if constexpr (kReciprocal)
        iij = O::add(O::quotient(product, variance, reciprocal), inverse_n_minus_1);
      else
        iij = O::add(O::div(product, variance), inverse_n_minus_1);
    } else {
      iij = O::select(O::equal(own_i, O::load(own + p.j * stride)), one, unlike);
    }
    O::store(class_sum + p.c * stride, O::add(O::load(class_sum + p.c * stride), iij));
    if (sum_all) all_sum = O::add(all_sum, iij);
    if constexpr (kRestricted) {
      if (!p.in_regression) return;
      sum_i = O::add(sum_i, iij);
    }
    sum_id = O::add(sum_id, O::mul(iij, O::broadcast_from(p.geometry)));
    sum_ilog = O::add(sum_ilog, O::mul(iij, O::broadcast_from(p.geometry + 1)));
  }

  __attribute__((always_inline)) void finish() {
    if (sum_all) {
      O::store(class_sum, all_sum);
      O::store(class_used, all_used);
    }
    O::store(regression + kalveno::kPairs * stride, pairs_in);
    O::store(regression + kalveno::kSumI * stride, sum_i);
    O::store(regression + kalveno::kSumId * stride, sum_id);
    O::store(regression + kalveno::kSumIlog * stride, sum_ilog);
    O::store(regression + kalveno::kSumD * stride, sum_d);
    O::store(regression + kalveno::kSumD2 * stride, sum_d2);
    O::store(regression + kalveno::kSumLog * stride, sum_log);
    O::store(regression + kalveno::kSumLog2 * stride, sum_log2);
  }
};

// The second block of a pass that has only one.
struct NoBlock {
  NoBlock(const LaneGroup&, int, long) {}
  void add(const Pair&) {}
  void finish() {}
};

// Positions come in random order: table entries are fetched this many pairs ahead.
constexpr int kFetchAhead = 64;

// Inlined into its caller, so that the blocks' sums live in registers.
template <class A, class B>
__attribute__((always_inline)) inline void run_pass(const RowPairs& rp, A& a, B& b, bool count) {
  if (rp.from_table) {
    const int* __restrict perm = rp.perm;
    const double* __restrict places = rp.places;
    const unsigned short* __restrict codes = rp.codes;
    int* __restrict pair_count = rp.pair_count;
    double* __restrict distance_sum = rp.distance_sum;
    double shared_pairs = 0, shared_d = 0, shared_d2 = 0, shared_log = 0, shared_log2 = 0;
    const bool share = count && rp.shared != nullptr;
    if (share) {
      shared_pairs = rp.shared[kalveno::kPairs];
      shared_d = rp.shared[kalveno::kSumD];
      shared_d2 = rp.shared[kalveno::kSumD2];
      shared_log = rp.shared[kalveno::kSumLog];
      shared_log2 = rp.shared[kalveno::kSumLog2];
    }
    const int n = rp.n;
    alignas(32) double geometry[4];
    const int fetch_end = n - kFetchAhead;
    int n_pairs = 0;
    for (int j = rp.first_j; j <= n; ++j) {
      if (j <= fetch_end) {
        const int ahead = perm[j + kFetchAhead];
        __builtin_prefetch(places + 2L * ahead);
        __builtin_prefetch(codes + ahead);
      }
      const long position = perm[j];
      if (position == 0) continue;  // no position: the sample sits out
      const unsigned code = codes[position];
      Pair p;
      p.j = j;
      p.c = code & 0x7fff;
      p.in_regression = (code >> 15) != 0;
      const double d = places[2 * position], log_d = places[2 * position + 1];
      geometry[0] = d;
      geometry[1] = log_d;
      geometry[2] = d * d;
      geometry[3] = log_d * log_d;
      p.geometry = geometry;
      if (count) {
        ++n_pairs;
        ++pair_count[p.c];
        distance_sum[p.c] += d;
        if (share && p.in_regression) {
          shared_pairs += 1;
          shared_d += d;
          shared_d2 += d * d;
          shared_log += log_d;
          shared_log2 += log_d * log_d;
        }
      }
      a.add(p);
      b.add(p);
    }
    if (count) {
      pair_count[0] += n_pairs;
    }
    if (share) {
      rp.shared[kalveno::kPairs] = shared_pairs;
      rp.shared[kalveno::kSumD] = shared_d;
      rp.shared[kalveno::kSumD2] = shared_d2;
      rp.shared[kalveno::kSumLog] = shared_log;
      rp.shared[kalveno::kSumLog2] = shared_log2;
    }
  } else {
    const GatheredPairs& g = rp.gathered;
    const int* __restrict sample = g.sample;
    const int* __restrict code = g.code;
    const double* __restrict geometry = g.geometry;
    for (int e = 0; e < g.n_pairs; ++e) {
      Pair p;
      p.j = sample[e];
      p.c = code[e] & kClassBits;
      p.in_regression = (code[e] & kInRegressionBit) != 0;
      p.geometry = geometry + 4 * e;
      a.add(p);
      b.add(p);
    }
  }
  a.finish();
  b.finish();
}

template <class A, class B, bool kQuantitative, bool kReciprocal, bool kComplete>
void pass_as(const RowPairs& rp, const LaneGroup& g, int ka, int kb, bool count) {
  if (g.restricted) {
    typename A::template As<kQuantitative, kReciprocal, true, kComplete> a(g, ka, rp.i);
    typename B::template As<kQuantitative, kReciprocal, true, kComplete> b(g, kb, rp.i);
    run_pass(rp, a, b, count);
  } else {
    typename A::template As<kQuantitative, kReciprocal, false, kComplete> a(g, ka, rp.i);
    typename B::template As<kQuantitative, kReciprocal, false, kComplete> b(g, kb, rp.i);
    run_pass(rp, a, b, count);
  }
}

template <class A, class B, bool kQuantitative, bool kReciprocal>
void pass_complete_or_not(const RowPairs& rp, const LaneGroup& g, int ka, int kb, bool count) {
  bool complete = true;
  for (int lane = ka; lane < ka + A::W; ++lane) complete = complete && g.complete[lane] != 0;
  for (int lane = kb; lane < kb + B::W; ++lane) complete = complete && g.complete[lane] != 0;
  if (complete)
    pass_as<A, B, kQuantitative, kReciprocal, true>(rp, g, ka, kb, count);
  else
    pass_as<A, B, kQuantitative, kReciprocal, false>(rp, g, ka, kb, count);
}

// Block kinds by their operations, and the empty one.
template <class O>
struct BlockOf {
  template <bool kQuantitative, bool kReciprocal, bool kRestricted, bool kComplete>
  using As = Block<O, kQuantitative, kReciprocal, kRestricted, kComplete>;
  static constexpr bool kHasReciprocalQuotient = O::kHasReciprocalQuotient;
  static constexpr int W = O::W;
};
struct NoBlockOf {
  template <bool, bool, bool, bool>
  using As = NoBlock;
  static constexpr bool kHasReciprocalQuotient = true;
  static constexpr int W = 0;
};

// One pass over lanes ka..ka+A::W-1 and kb..kb+B::W-1 of the group. A
// quotient comes from the reciprocal only when every lane of the pass allows it.
template <class A, class B>
void pass(const RowPairs& rp, const LaneGroup& g, int ka, int kb, bool count) {
  if (!g.quantitative) return pass_complete_or_not<A, B, false, false>(rp, g, ka, kb, count);
  if constexpr (A::kHasReciprocalQuotient && B::kHasReciprocalQuotient) {
    bool exact = true;
    for (int lane = ka; lane < ka + A::W; ++lane) exact = exact && g.reciprocal_exact[lane] != 0;
    for (int lane = kb; lane < kb + B::W; ++lane) exact = exact && g.reciprocal_exact[lane] != 0;
    if (exact) return pass_complete_or_not<A, B, true, true>(rp, g, ka, kb, count);
  }
  pass_complete_or_not<A, B, true, false>(rp, g, ka, kb, count);
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
