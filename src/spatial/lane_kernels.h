// The inner loop of Moran's I, once per instruction set: for the pairs of one
// row gathered with their geometry, each variable lane adds the pair's Iij to
// its class sums and its regression sums. Every path performs the same IEEE
// operations in the same order for every lane, so every path gives the same
// bits; they differ only in how many lanes one instruction works on.
//
// This header is shared by code compiled for different processors: it holds
// only plain data and declarations, nothing that the compiler could emit once
// for one processor and let the linker hand to another.
#pragma once

#include "base/vector_path.h"

namespace kalveno {

// Variable lanes are allotted in groups padded to a multiple of this.
constexpr int kLaneQuantum = 4;

// Class and regression membership of a gathered pair, packed in one int.
constexpr int kInRegressionBit = 1 << 30;
constexpr int kClassBits = kInRegressionBit - 1;

// The selected pairs (i, j) of row i gathered in order of j: the sample j,
// the pair's class code, its distance d and ln d.
struct GatheredPairs {
  int n_pairs = 0;
  const int* sample = nullptr;
  const int* code = nullptr;
  const double* distance = nullptr;
  const double* log_distance = nullptr;
};

// The pairs of one row i that a pass of the pair loop runs over: either
// gathered beforehand, or every pair (i, j), j = first_j..n, read straight
// from the row of the pair table of i's position, skipping samples without a
// position. The table row holds distance and ln d side by side for each
// position b, and a 16-bit code: the class in the low 15 bits, the top bit
// set inside the regression interval.
struct RowPairs {
  int i = 0;
  bool from_table = false;
  GatheredPairs gathered;
  const int* perm = nullptr;  // [0..n]
  int first_j = 0, n = 0;
  const double* places = nullptr;            // [2 b]: d, [2 b + 1]: ln d
  const unsigned short* codes = nullptr;     // [b]
  // Straight from the table, the first pass also counts each pair in its
  // class and adds its distance to the class's sum, and makes the regression
  // sums that lanes without missing data share (shared[kPairs], [kSumD],
  // [kSumD2], [kSumLog], [kSumLog2]).
  int* pair_count = nullptr;
  double* distance_sum = nullptr;
  double* shared = nullptr;  // nullptr when no lane needs them
};

// A group of adjacent lanes (all quantitative or all qualitative) and where
// its numbers live. Every per-lane array below points at the group's first
// lane; rows of own are own_stride apart, those of the other per-sample and
// per-class arrays lane_stride.
struct LaneGroup {
  int n_lanes = 0;  // a multiple of kLaneQuantum
  int lane_stride = 0, own_stride = 0;
  bool quantitative = false;
  const double* own = nullptr;      // [sample][lane]: deviation from the mean, or state
  const double* present = nullptr;  // [sample][lane]: 1 where the sample has the variable, else 0
  // The same as bits, one byte a sample for each lane 4 q of the whole row:
  // present_bits[q * bit_stride + sample], bit b for lane 4 q + b (b < 8).
  // This group's lanes start at lane bit_lane of the whole row.
  const unsigned char* present_bits = nullptr;
  int bit_stride = 0, bit_lane = 0;
  const double* variance = nullptr;
  const double* reciprocal = nullptr;     // 1 / variance, rounded
  const unsigned char* reciprocal_exact = nullptr;  // 1 where the quotient may be had from the reciprocal
  const double* unlike = nullptr;  // Iij of distinct states
  const double* inverse_n_minus_1 = nullptr;  // 1 / (n - 1), n the samples that have the variable
  // 1 where the variable is present in every sample (or the lane is
  // padding): such lanes use every pair, and their pair counts and the
  // regression sums of distances are the shared ones, made once per pair.
  const unsigned char* complete = nullptr;
  // 1 in the lane that takes the pair's distance in place of Iij, else 0.
  const double* distance_flag = nullptr;
  // With a pair filter whose states move with the values: each row's key
  // and mate per lane, lane_stride apart. A lane uses a pair only where the
  // key of its first sample equals the mate of its second (differs from it,
  // with select_unequal). nullptr where the pairs are selected beforehand.
  const double* key = nullptr;
  const double* mate = nullptr;
  bool select_unequal = false;
  // The pairs each lane uses, their counts and their sums of distances are
  // the same for every call and given beforehand: the loop adds Iij alone.
  bool fixed_pairs = false;
  bool sum_all = false;     // also add to the sums over all pairs (class row 0)
  bool restricted = false;  // keep the regression's own pair count and sum of Iij
  // Count the pairs each lane uses, per class and in the regression. Without,
  // those counts are left as they are, for the caller to make another way.
  bool count_used = true;
  double* class_sum = nullptr;   // [class][lane]
  double* class_used = nullptr;  // [class][lane]
  double* regression = nullptr;  // [sum][lane], the eight sums in the order of RegressionSum

  // Lanes first .. first + count - 1 of the group, as a group of their own:
  // every per-lane array moves on by first (lane_kernels.cpp, which names
  // every field, so that a field added here is not forgotten there).
  LaneGroup lanes(int first, int count) const;
};

enum RegressionSum { kPairs, kSumI, kSumId, kSumIlog, kSumD, kSumD2, kSumLog, kSumLog2, kRegressionSums };

// Adds the pairs to every lane of the group. With count set, the first pass
// also counts the pairs (from the table only).
void add_pairs_sse2(const RowPairs& pairs, const LaneGroup& group, bool count);
void add_pairs_avx2(const RowPairs& pairs, const LaneGroup& group, bool count);
void add_pairs_avx512(const RowPairs& pairs, const LaneGroup& group, bool count);

// The quotient x / y of each lane pair as the path's pair loop forms it for a
// divisor within the proven range (for the tests).
void quotients_sse2(const double* x, const double* y, double* out, int n);
void quotients_avx2(const double* x, const double* y, double* out, int n);
void quotients_avx512(const double* x, const double* y, double* out, int n);

}  // namespace kalveno

namespace kalveno {

// The pair loop of the path, which the processor must support.
void add_pairs(VectorPath path, const RowPairs& pairs, const LaneGroup& group, bool count);

}  // namespace kalveno
