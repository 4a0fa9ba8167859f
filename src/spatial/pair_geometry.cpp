#include "spatial/pair_geometry.h"

#include <algorithm>
#include <cmath>

namespace kalveno {

std::size_t PairGeometry::default_table_limit(std::size_t memory_budget) {
  return std::min<std::size_t>(std::size_t{512} << 20, memory_budget / 4);
}

PairGeometry::PairGeometry(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
                           const RegressionInterval& interval, std::size_t table_limit)
    : x_(data.x), y_(data.y), class_max_(classes.class_max), n_classes_(classes.n_classes), interval_(interval) {
  const int n = data.n_samples;
  const std::size_t side = static_cast<std::size_t>(n) + 1;
  tabulated_ = side * side <= table_limit / kBytesPerPair;
  if (!tabulated_) return;
  distance_ = allocator.double_matrix(0, n, 0, n);
  log_distance_ = allocator.double_matrix(0, n, 0, n);
  code_ = allocator.int_matrix(0, n, 0, n);
  // x[a] - x[b] is exactly -(x[b] - x[a]) in IEEE arithmetic, so a pair has
  // the same distance in either order and one triangle gives the other.
  for (int a = 1; a <= n; ++a) {
    for (int b = a; b <= n; ++b) {
      work_out(a, b, distance_(a, b), log_distance_(a, b), code_(a, b));
      distance_(b, a) = distance_(a, b);
      log_distance_(b, a) = log_distance_(a, b);
      code_(b, a) = code_(a, b);
    }
  }
}

void PairGeometry::work_out(int a, int b, double& d, double& log_d, int& code) const {
  d = sample_distance(x_, y_, a, b);
  log_d = std::log(d);
  // Upper bounds are inclusive: a pair exactly at class_max[c] is in class c.
  // Beyond the last bound lies class C + 1.
  int c = 1;
  while (c <= n_classes_ && !(d <= class_max_[c])) ++c;
  code = c;
  if (!interval_.restricted() ||
      (static_cast<double>(interval_.min_distance) <= d && d <= static_cast<double>(interval_.max_distance)))
    code |= PairCode::kInRegression;
}

}  // namespace kalveno
