// What a pair of sample positions contributes to Moran's I whatever the
// variables: its distance, the natural logarithm of the distance, its distance
// class and whether it lies in the regression interval. Every replicate asks
// for the same position pairs again, so when the table fits in memory it is
// worked out once per data set and only looked up; otherwise each pair is
// worked out when asked for, with the same arithmetic and so the same bits.
#pragma once
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/allocation.h"
#include "base/progress.h"
#include "base/ranged_array.h"
#include "data/data_set.h"
#include "spatial/lane_kernels.h"
#include "spatial/pair_table_rows.h"

namespace kalveno {

// The distance interval of the regression of Iij on distance, bounds
// included (distance_within). Both bounds 0 means the regression takes every
// pair.
struct RegressionInterval {
  float min_distance = 0;
  float max_distance = 0;
  bool restricted() const { return min_distance != 0 || max_distance != 0; }
};

// Class and regression membership of a position pair, packed in one int.
struct PairCode {
  static constexpr int kInRegression = kInRegressionBit;
  static int distance_class(int code) { return code & kClassBits; }
  static bool in_regression(int code) { return (code & kInRegression) != 0; }
  // The same in the table's 16 bits, when the class number fits in 15.
  static constexpr int kMaxTableClass = (1 << 15) - 1;
  static std::uint16_t to_table(int code) {
    return static_cast<std::uint16_t>(distance_class(code) | (in_regression(code) ? 1 << 15 : 0));
  }
  static int from_table(std::uint16_t code) { return (code & kMaxTableClass) | (code >> 15 << 30); }
};

// Distance and its logarithm side by side: a look-up reads one cache line.
struct PairPlace {
  double distance;
  double log_distance;
};

class PairGeometry {
 public:
  // The table holds every ordered pair, (N + 1)^2 entries of this many bytes,
  // so that each position's row is one contiguous block.
  static constexpr std::size_t kBytesPerPair = sizeof(PairPlace) + sizeof(std::uint16_t);
  // The default limit: half the memory budget (the program's is the memory
  // available when the run started). 10 000 samples need 1.8 GB.
  static std::size_t default_table_limit(std::size_t memory_budget);
  static std::size_t table_bytes(int n_samples);

  // The table is worked out by n_workers threads, showing their pace on
  // progress when given.
  PairGeometry(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
               const RegressionInterval& interval, std::size_t table_limit, int n_workers = 1,
               Progress* progress = nullptr);

  bool tabulated() const { return tabulated_; }

  // The distance alone, looked up or worked out.
  double distance(int a, int b) const { return tabulated_ ? place_(a, b).distance : sample_distance(data_, a, b); }

  // The distance class alone (1..C, C + 1 beyond the last bound), looked up
  // or worked out without the logarithm.
  int class_of(int a, int b) const {
    return tabulated_ ? PairCode::distance_class(PairCode::from_table(code_(a, b))) : distance_class(distance(a, b));
  }

  // Row a of the table, indexed by b (tabulated only).
  const PairPlace* place_row(int a) const { return place_.row(a); }
  const std::uint16_t* code_row(int a) const { return code_.row(a); }  // PairCode::to_table

  // The pairs of positions (a, b[e]), e < count (positions 1..N): d[e] the
  // distance, log_d[e] its natural logarithm (-inf at distance 0), code[e]
  // its PairCode. code may be b itself.
  void work_out(int a, const int* b, int count, double* d, double* log_d, int* code) const;

 private:
  void fill_table(int n, int n_workers, Progress* progress);
  int distance_class(double d) const;

  const DataSet& data_;
  // The upper bounds of the classes 1..C at [0..C - 1], single-precision
  // numbers as the classes hold them (distance_within).
  std::vector<float> class_max_;
  int n_classes_;
  bool bounds_rise_ = false;  // class_max never falls from one class to the next
  RegressionInterval interval_;
  bool tabulated_ = false;
  PairTableRows<PairPlace> place_;     // [0..N][0..N]
  PairTableRows<std::uint16_t> code_;  // [0..N][0..N]
};

}  // namespace kalveno
