#include "spatial/pair_geometry.h"

#include <algorithm>
#include <cmath>

#include "randomization/replicate_runner.h"

namespace kalveno {

std::size_t PairGeometry::default_table_limit(std::size_t memory_budget) { return memory_budget / 2; }

std::size_t PairGeometry::table_bytes(int n_samples) {
  const std::size_t side = static_cast<std::size_t>(n_samples) + 1;
  return side * side * kBytesPerPair;
}

PairGeometry::PairGeometry(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
                           const RegressionInterval& interval, std::size_t table_limit, int n_workers,
                           Progress* progress)
    : data_(data), class_max_(classes.class_max), n_classes_(classes.n_classes), interval_(interval) {
  bounds_rise_ = true;
  for (int c = 2; c <= n_classes_; ++c) bounds_rise_ = bounds_rise_ && class_max_[c - 1] <= class_max_[c];
  const int n = data.n_samples;
  const std::size_t side = static_cast<std::size_t>(n) + 1;
  tabulated_ = side * side <= table_limit / kBytesPerPair && n_classes_ + 1 <= PairCode::kMaxTableClass;
  if (!tabulated_) return;
  place_ = PairTableRows<PairPlace>(allocator, n, "\nallocation failure in the pair table");
  code_ = PairTableRows<std::uint16_t>(allocator, n, "\nallocation failure in the pair table");
  fill_table(n, n_workers, progress);
}

// A pair has the same distance in either order (sample_distance): the upper
// triangle is worked out and the lower one copied from it, a band of square tiles at a time to keep both in
// cache. Rows and bands are shared out among the workers.
void PairGeometry::fill_table(int n, int n_workers, Progress* progress) {
  if (progress != nullptr) progress->begin("Pair table", 0.5 * n * (n + 1.0));
  parallel_for(n, n_workers, [&](int, int item) {
    const int a = item + 1;
    PairPlace* places = place_.row(a);
    std::uint16_t* codes = code_.row(a);
    for (int b = a; b <= n; ++b) {
      int code;
      work_out(a, b, places[b].distance, places[b].log_distance, code);
      codes[b] = PairCode::to_table(code);
    }
    if (progress != nullptr) progress->advance(n - a + 1);
  });
  constexpr int kTile = 64;
  parallel_for((n + kTile - 1) / kTile, n_workers, [&](int, int band) {
    const int a0 = 1 + band * kTile, a1 = std::min(n, a0 + kTile - 1);
    for (int b0 = 1; b0 <= a0; b0 += kTile) {
      const int b1 = std::min(n, b0 + kTile - 1);
      for (int a = a0; a <= a1; ++a) {
        for (int b = b0; b <= std::min(b1, a - 1); ++b) {
          place_(a, b) = place_(b, a);
          code_(a, b) = code_(b, a);
        }
      }
    }
  });
}

// Upper bounds are inclusive: a pair exactly at class_max[c] is in class c.
// Beyond the last bound lies class C + 1. With bounds that never fall, the
// classes whose bound d exceeds are the first ones, so counting them gives
// the first class that takes d without the branches of a search.
int PairGeometry::distance_class(double d) const {
  if (bounds_rise_) {
    int beyond = 0;
    for (int c = 1; c <= n_classes_; ++c) beyond += !(d <= class_max_[c]);
    return beyond + 1;
  }
  int c = 1;
  while (c <= n_classes_ && !(d <= class_max_[c])) ++c;
  return c;
}

void PairGeometry::work_out(int a, int b, double& d, double& log_d, int& code) const {
  d = sample_distance(data_, a, b);
  log_d = std::log(d);
  code = distance_class(d);
  if (!interval_.restricted() ||
      (static_cast<double>(interval_.min_distance) <= d && d <= static_cast<double>(interval_.max_distance)))
    code |= PairCode::kInRegression;
}

}  // namespace kalveno
