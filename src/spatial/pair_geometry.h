// What a pair of sample positions contributes to Moran's I whatever the
// variables: its distance, the natural logarithm of the distance, its distance
// class and whether it lies in the regression interval. Every replicate asks
// for the same position pairs again, so when the table fits in memory it is
// worked out once per data set and only looked up; otherwise each pair is
// worked out when asked for, with the same arithmetic and so the same bits.
#pragma once
#include <cstddef>

#include "base/allocation.h"
#include "base/ranged_array.h"
#include "data/data_set.h"

namespace kalveno {

// The distance interval of the regression of Iij on distance. Both bounds 0
// means the regression takes every pair.
struct RegressionInterval {
  float min_distance = 0;
  float max_distance = 0;
  bool restricted() const { return min_distance != 0 || max_distance != 0; }
};

// Class and regression membership of a position pair, packed in one int.
struct PairCode {
  static constexpr int kInRegression = 1 << 30;
  static int distance_class(int code) { return code & (kInRegression - 1); }
  static bool in_regression(int code) { return (code & kInRegression) != 0; }
};

class PairGeometry {
 public:
  // A table of (N + 1)^2 entries of this many bytes is kept when it fits in
  // table_limit bytes.
  static constexpr std::size_t kBytesPerPair = 2 * sizeof(double) + sizeof(int);
  // The default limit: 512 MB, or a quarter of the memory budget if less
  // (a table for 5000 samples fits, one for 10 000 does not).
  static std::size_t default_table_limit(std::size_t memory_budget);

  PairGeometry(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
               const RegressionInterval& interval, std::size_t table_limit);

  bool tabulated() const { return tabulated_; }

  // The pair of positions a and b (1..N). d is the distance, log_d its
  // natural logarithm (-inf at distance 0), code its PairCode.
  void place(int a, int b, double& d, double& log_d, int& code) const {
    if (tabulated_) {
      d = distance_(a, b);
      log_d = log_distance_(a, b);
      code = code_(a, b);
    } else {
      work_out(a, b, d, log_d, code);
    }
  }

  // The distance alone, looked up or worked out.
  double distance(int a, int b) const { return tabulated_ ? distance_(a, b) : sample_distance(x_, y_, a, b); }

  // Row a of the table, for loops over b (tabulated only).
  const double* distance_row(int a) const { return distance_.row(a); }
  const double* log_distance_row(int a) const { return log_distance_.row(a); }
  const int* code_row(int a) const { return code_.row(a); }

  void work_out(int a, int b, double& d, double& log_d, int& code) const;

 private:
  const RangedVector<double>& x_;
  const RangedVector<double>& y_;
  const RangedVector<double>& class_max_;
  int n_classes_;
  RegressionInterval interval_;
  bool tabulated_ = false;
  RangedMatrix<double> distance_;      // [0..N][0..N]
  RangedMatrix<double> log_distance_;  // [0..N][0..N]
  RangedMatrix<int> code_;             // [0..N][0..N]
};

}  // namespace kalveno
