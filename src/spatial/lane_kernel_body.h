// The pair loop of lane_kernels.h written once over a set of vector
// operations. Each path's source file defines its operations and includes
// this file; everything here has internal linkage, so each path keeps its own
// copy compiled for its own processor.
//
// Operations a set provides, on W lanes: V a vector of doubles, M a lane mask;
// load, store, broadcast, broadcast_from (a double in memory), add, mul, div;
// quotient(x, y, r), the correctly rounded x / y from the rounded reciprocal
// r of y; row_mask(v), the lanes where v is not 0; used(row_mask, p), the
// lanes of row_mask where p holds a non-zero (or, where kMaskBits,
// mask_of(bits), the lanes of the set bits); masked_add(acc, m, t), acc + t
// in the lanes of m and acc elsewhere; add_where(m, a, b), a + b in the lanes
// of m and +0 elsewhere; zero_unless(m, a); equal(a, b); select(m, a, b);
// both(m, n) and flip(m, n), the lanes of both masks and of exactly one;
// all_if(b), every lane when b, else none; narrow(w), the first W lanes of a
// vector of the widest block of the pass.
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

// What one pair brings to every lane: its geometry in vectors of the widest
// block of the pass (operations O), read from the table itself or from the
// gathered pairs.
template <class O>
struct Pair {
  long j;
  long class_row;  // the class times the lane stride: where its sums start
  bool in_regression;
  typename O::V d, log_d, d2, log2;  // d, ln d, d * d, ln d * ln d in every lane
};

// How a block's lanes take a pair:
//   kMasked: the lanes where both samples have the variable use it, and
//     each counts its pairs and sums its distances;
//   kFixed: the same lanes, whose pair counts and sums of distances are
//     given beforehand, so that only Iij is added;
//   kSelected: as kMasked, where the lane's keys also select the pair;
//   kComplete: every lane uses every pair; the counts and the sums of
//     distances are the shared ones.
enum BlockKind { kMasked, kFixed, kSelected, kComplete };

// One block of W lanes. A lane that does not use a pair adds +0 to its sums
// or nothing at all, which leaves them as they are: sums start at +0, so they
// never are -0. Regression terms of unused lanes are never looked at, so a
// 0 * -inf there (distance 0) does no harm.
template <class O, bool kQuantitative, bool kReciprocal, bool kRestricted, int kKind>
struct Block {
  using Ops = O;
  using V = typename O::V;
  using M = typename O::M;
  static constexpr bool kCountsOwnPairs = kKind == kMasked || kKind == kSelected;

  long stride, own_stride;
  const double* own;
  const double* present;
  const double* mate;
  // Where kMaskBits: this block's presence bits, a byte a sample, and those
  // of row i.
  const unsigned char* bits;
  unsigned row_bits;
  double* class_sum;
  double* class_used;
  double* regression;
  bool sum_all, count_used;
  V own_i, variance, reciprocal, unlike, inverse_n_minus_1, one, key_i;
  M row_mask, distance_lane, unequal;
  // The sums over all pairs (class row 0), when kept, stay in memory: they
  // are kept only when some samples sit out, and their registers are worth
  // more to the other sums.
  V pairs_in, sum_i, sum_id, sum_ilog, sum_d, sum_d2, sum_log, sum_log2;

  __attribute__((always_inline)) Block(const LaneGroup& g, int k, long i)
      : stride(g.lane_stride),
        own_stride(g.own_stride),
        own(g.own + k),
        present(g.present + k),
        mate(kKind == kSelected ? g.mate + k : nullptr),
        class_sum(g.class_sum + k),
        class_used(g.class_used + k),
        regression(g.regression + k),
        sum_all(g.sum_all),
        count_used(g.count_used) {
    own_i = O::load(own + i * own_stride);
    row_mask = O::row_mask(O::load(present + i * stride));
    bits = g.present_bits + static_cast<long>((g.bit_lane + k) / 4) * g.bit_stride;
    row_bits = bits[i] & ((1u << O::W) - 1);
    distance_lane = O::row_mask(O::load(g.distance_flag + k));
    variance = O::load(g.variance + k);
    reciprocal = O::load(g.reciprocal + k);
    unlike = O::load(g.unlike + k);
    inverse_n_minus_1 = O::load(g.inverse_n_minus_1 + k);
    one = O::broadcast(1.0);
    if constexpr (kKind == kSelected) {
      key_i = O::load(g.key + k + i * stride);
      unequal = O::all_if(g.select_unequal);
    }
    pairs_in = O::load(regression + kalveno::kPairs * stride);
    sum_i = O::load(regression + kalveno::kSumI * stride);
    sum_id = O::load(regression + kalveno::kSumId * stride);
    sum_ilog = O::load(regression + kalveno::kSumIlog * stride);
    sum_d = O::load(regression + kalveno::kSumD * stride);
    sum_d2 = O::load(regression + kalveno::kSumD2 * stride);
    sum_log = O::load(regression + kalveno::kSumLog * stride);
    sum_log2 = O::load(regression + kalveno::kSumLog2 * stride);
  }

  // The lanes that use the pair: those where both samples have the variable
  // (and, where kSelected, whose keys select it).
  __attribute__((always_inline)) M used_by(long j) const {
    M used;
    if constexpr (O::kMaskBits)
      used = O::mask_of(row_bits & bits[j]);
    else
      used = O::used(row_mask, present + j * stride);
    if constexpr (kKind == kSelected)
      used = O::both(used, O::flip(O::equal(key_i, O::load(mate + j * stride)), unequal));
    return used;
  }

  template <class P>
  __attribute__((always_inline)) void add(const P& p) {
    if constexpr (kKind == kComplete) return add_complete(p);
    const M used = used_by(p.j);
    // iij and used_one are 0 in the lanes that do not use the pair: the class
    // sums take whole vectors, so that each store can feed the next load of
    // the same class straight away.
    V iij;
    if constexpr (kQuantitative) {
      const V product = O::mul(own_i, O::load(own + p.j * own_stride));
      V quotient;
      if constexpr (kReciprocal)
        quotient = O::quotient(product, variance, reciprocal);
      else
        quotient = O::div(product, variance);
      iij = O::add_where(used, quotient, inverse_n_minus_1);
    } else {
      iij = O::zero_unless(used, O::select(O::equal(own_i, O::load(own + p.j * own_stride)), one, unlike));
    }
    const V d = O::narrow(p.d), log_d = O::narrow(p.log_d);
    // No lane is selected where the block has no distance lane; the distance
    // lane uses every pair but those its keys leave out.
    if constexpr (kKind == kSelected)
      iij = O::select(distance_lane, O::zero_unless(used, d), iij);
    else
      iij = O::select(distance_lane, d, iij);
    const V used_one = O::zero_unless(used, one);

    // Never class 0, so never the sums over all pairs.
    double* sum = class_sum + p.class_row;
    O::store(sum, O::add(O::load(sum), iij));
    if (sum_all) O::store(class_sum, O::add(O::load(class_sum), iij));
    if (kCountsOwnPairs && count_used) {
      double* count = class_used + p.class_row;
      O::store(count, O::add(O::load(count), used_one));
      if (sum_all) O::store(class_used, O::add(O::load(class_used), used_one));
    }

    // Without an interval every pair enters the regression, whose count and
    // sum of Iij are then those of all pairs.
    if constexpr (kRestricted) {
      if (!p.in_regression) return;
      if (kCountsOwnPairs && count_used) pairs_in = O::add(pairs_in, used_one);
      sum_i = O::add(sum_i, iij);
    }
    sum_id = O::masked_add(sum_id, used, O::mul(iij, d));
    sum_ilog = O::masked_add(sum_ilog, used, O::mul(iij, log_d));
    if constexpr (kKind != kFixed) {
      sum_d = O::masked_add(sum_d, used, d);
      sum_d2 = O::masked_add(sum_d2, used, O::narrow(p.d2));
      sum_log = O::masked_add(sum_log, used, log_d);
      sum_log2 = O::masked_add(sum_log2, used, O::narrow(p.log2));
    }
  }

  template <class P>
  __attribute__((always_inline)) void add_complete(const P& p) {
    V iij;
    if constexpr (kQuantitative) {
      const V product = O::mul(own_i, O::load(own + p.j * own_stride));
      if constexpr (kReciprocal)
        iij = O::add(O::quotient(product, variance, reciprocal), inverse_n_minus_1);
      else
        iij = O::add(O::div(product, variance), inverse_n_minus_1);
    } else {
      iij = O::select(O::equal(own_i, O::load(own + p.j * own_stride)), one, unlike);
    }
    double* sum = class_sum + p.class_row;
    O::store(sum, O::add(O::load(sum), iij));
    if (sum_all) O::store(class_sum, O::add(O::load(class_sum), iij));
    if constexpr (kRestricted) {
      if (!p.in_regression) return;
      sum_i = O::add(sum_i, iij);
    }
    sum_id = O::add(sum_id, O::mul(iij, O::narrow(p.d)));
    sum_ilog = O::add(sum_ilog, O::mul(iij, O::narrow(p.log_d)));
  }

  __attribute__((always_inline)) void finish() {
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
  template <class P>
  void add(const P&) {}
  void finish() {}
};

// Positions come in random order: table entries are fetched this many pairs ahead.
constexpr int kFetchAhead = 64;

// Every pair (i, j), j = first_j..n, straight from the table row. With
// kCount, also counts each pair in its class, adds its distance to the
// class's sum and makes the shared regression sums, in the order of the pairs.
// function-length: vector kernel. The shared sums live in locals across the
// whole loop, where they stay in registers, and are stored once at its end.
template <bool kCount, class A, class B>
__attribute__((always_inline)) inline void run_table_pass(const RowPairs& rp, long stride, A& a, B& b) {
  using Wide = typename A::Ops;
  const int* __restrict perm = rp.perm;
  const double* __restrict places = rp.places;
  const unsigned short* __restrict codes = rp.codes;
  int* __restrict pair_count = rp.pair_count;
  double* __restrict distance_sum = rp.distance_sum;
  double shared_pairs = 0, shared_d = 0, shared_d2 = 0, shared_log = 0, shared_log2 = 0;
  const bool share = kCount && rp.shared != nullptr;
  if (share) {
    shared_pairs = rp.shared[kalveno::kPairs];
    shared_d = rp.shared[kalveno::kSumD];
    shared_d2 = rp.shared[kalveno::kSumD2];
    shared_log = rp.shared[kalveno::kSumLog];
    shared_log2 = rp.shared[kalveno::kSumLog2];
  }
  int n_pairs = 0;
  auto visit = [&](int j) __attribute__((always_inline)) {
    const long position = perm[j];
    if (position == 0) return;  // no position: the sample sits out
    const unsigned code = codes[position];
    const double* geometry = places + 2 * position;
    Pair<Wide> p;
    p.j = j;
    const long c = code & 0x7fff;
    p.class_row = c * stride;
    p.in_regression = (code >> 15) != 0;
    p.d = Wide::broadcast_from(geometry);
    p.log_d = Wide::broadcast_from(geometry + 1);
    p.d2 = Wide::mul(p.d, p.d);
    p.log2 = Wide::mul(p.log_d, p.log_d);
    if constexpr (kCount) {
      const double d = geometry[0], log_d = geometry[1];
      ++n_pairs;
      ++pair_count[c];
      distance_sum[c] += d;
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
  };
  const int n = rp.n, fetch_end = n - kFetchAhead;
  int j = rp.first_j;
  for (; j <= fetch_end; ++j) {
    const int ahead = perm[j + kFetchAhead];
    __builtin_prefetch(places + 2L * ahead);
    __builtin_prefetch(codes + ahead);
    visit(j);
  }
  for (; j <= n; ++j) visit(j);
  if constexpr (kCount) {
    pair_count[0] += n_pairs;
    if (share) {
      rp.shared[kalveno::kPairs] = shared_pairs;
      rp.shared[kalveno::kSumD] = shared_d;
      rp.shared[kalveno::kSumD2] = shared_d2;
      rp.shared[kalveno::kSumLog] = shared_log;
      rp.shared[kalveno::kSumLog2] = shared_log2;
    }
  }
}

// Inlined into its caller, so that the blocks' sums live in registers.
template <class A, class B>
__attribute__((always_inline)) inline void run_pass(const RowPairs& rp, long stride, A& a, B& b, bool count) {
  if (rp.from_table) {
    if (count)
      run_table_pass<true>(rp, stride, a, b);
    else
      run_table_pass<false>(rp, stride, a, b);
  } else {
    const GatheredPairs& g = rp.gathered;
    const int* __restrict sample = g.sample;
    const int* __restrict code = g.code;
    const double* __restrict distance = g.distance;
    const double* __restrict log_distance = g.log_distance;
    using Wide = typename A::Ops;
    for (int e = 0; e < g.n_pairs; ++e) {
      Pair<Wide> p;
      p.j = sample[e];
      p.class_row = (code[e] & kClassBits) * stride;
      p.in_regression = (code[e] & kInRegressionBit) != 0;
      p.d = Wide::broadcast_from(distance + e);
      p.log_d = Wide::broadcast_from(log_distance + e);
      p.d2 = Wide::mul(p.d, p.d);
      p.log2 = Wide::mul(p.log_d, p.log_d);
      a.add(p);
      b.add(p);
    }
  }
  a.finish();
  b.finish();
}

template <class A, class B, bool kQuantitative, bool kReciprocal, int kKind>
void pass_as(const RowPairs& rp, const LaneGroup& g, int ka, int kb, bool count) {
  if (g.restricted) {
    typename A::template As<kQuantitative, kReciprocal, true, kKind> a(g, ka, rp.i);
    typename B::template As<kQuantitative, kReciprocal, true, kKind> b(g, kb, rp.i);
    run_pass(rp, g.lane_stride, a, b, count);
  } else {
    typename A::template As<kQuantitative, kReciprocal, false, kKind> a(g, ka, rp.i);
    typename B::template As<kQuantitative, kReciprocal, false, kKind> b(g, kb, rp.i);
    run_pass(rp, g.lane_stride, a, b, count);
  }
}

// The kind of block the lanes of the pass make (see BlockKind).
template <class A, class B, bool kQuantitative, bool kReciprocal>
void pass_of_kind(const RowPairs& rp, const LaneGroup& g, int ka, int kb, bool count) {
  if (g.key != nullptr) return pass_as<A, B, kQuantitative, kReciprocal, kSelected>(rp, g, ka, kb, count);
  bool complete = true;
  for (int lane = ka; lane < ka + A::W; ++lane) complete = complete && g.complete[lane] != 0;
  for (int lane = kb; lane < kb + B::W; ++lane) complete = complete && g.complete[lane] != 0;
  if (complete)
    pass_as<A, B, kQuantitative, kReciprocal, kComplete>(rp, g, ka, kb, count);
  else if (g.fixed_pairs)
    pass_as<A, B, kQuantitative, kReciprocal, kFixed>(rp, g, ka, kb, count);
  else
    pass_as<A, B, kQuantitative, kReciprocal, kMasked>(rp, g, ka, kb, count);
}

// Block kinds by their operations, and the empty one.
template <class O>
struct BlockOf {
  template <bool kQuantitative, bool kReciprocal, bool kRestricted, int kKind>
  using As = Block<O, kQuantitative, kReciprocal, kRestricted, kKind>;
  static constexpr bool kHasReciprocalQuotient = O::kHasReciprocalQuotient;
  static constexpr int W = O::W;
};
struct NoBlockOf {
  template <bool, bool, bool, int>
  using As = NoBlock;
  static constexpr bool kHasReciprocalQuotient = true;
  static constexpr int W = 0;
};

// One pass over lanes ka..ka+A::W-1 and kb..kb+B::W-1 of the group. A
// quotient comes from the reciprocal only when every lane of the pass allows it.
template <class A, class B>
void pass(const RowPairs& rp, const LaneGroup& g, int ka, int kb, bool count) {
  if (!g.quantitative) return pass_of_kind<A, B, false, false>(rp, g, ka, kb, count);
  if constexpr (A::kHasReciprocalQuotient && B::kHasReciprocalQuotient) {
    bool exact = true;
    for (int lane = ka; lane < ka + A::W; ++lane) exact = exact && g.reciprocal_exact[lane] != 0;
    for (int lane = kb; lane < kb + B::W; ++lane) exact = exact && g.reciprocal_exact[lane] != 0;
    if (exact) return pass_of_kind<A, B, true, true>(rp, g, ka, kb, count);
  }
  pass_of_kind<A, B, true, false>(rp, g, ka, kb, count);
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
