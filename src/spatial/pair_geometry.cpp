#include "spatial/pair_geometry.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>

#include "base/parallel.h"

namespace kalveno {

std::size_t PairGeometry::default_table_limit(std::size_t memory_budget) { return memory_budget / 2; }

std::size_t PairGeometry::table_bytes(int n_samples) {
  const std::size_t side = static_cast<std::size_t>(n_samples) + 1;
  return side * side * kBytesPerPair;
}

PairGeometry::PairGeometry(const Allocator& allocator, const DataSet& data, const DistanceClasses& classes,
                           const RegressionInterval& interval, std::size_t table_limit, int n_workers,
                           Progress* progress)
    : data_(data), n_classes_(classes.n_classes), interval_(interval) {
  for (int c = 1; c <= n_classes_; ++c) class_max_.push_back(static_cast<float>(classes.class_max[c]));
  bounds_rise_ = std::is_sorted(class_max_.begin(), class_max_.end());
  const int n = data.n_samples;
  const std::size_t side = static_cast<std::size_t>(n) + 1;
  tabulated_ = side * side <= table_limit / kBytesPerPair && n_classes_ + 1 <= PairCode::kMaxTableClass;
  if (!tabulated_) return;
  place_ = PairTableRows<PairPlace>(allocator, n, allocation_message::kPairTable);
  code_ = PairTableRows<std::uint16_t>(allocator, n, allocation_message::kPairTable);
  fill_table(n, n_workers, progress);
}

// A pair has the same distance in either order (sample_distance): the upper
// triangle is worked out and the lower one copied from it, a band of square tiles at a time to keep both in
// cache. Rows and bands are shared out among the workers.
void PairGeometry::fill_table(int n, int n_workers, Progress* progress) {
  // The share done counts a pair worked out as four copied.
  if (progress != nullptr) progress->begin("Pair table", 0.5 * n * (n + 1.0) + 0.125 * n * (n - 1.0));
  parallel_for(n, n_workers, [&](int, int item) {
    const int a = item + 1;
    PairPlace* places = place_.row(a);
    std::uint16_t* codes = code_.row(a);
    constexpr int kChunk = 512;
    int b[kChunk], code[kChunk];
    double d[kChunk], log_d[kChunk];
    for (int first = a; first <= n; first += kChunk) {
      const int count = std::min(kChunk, n + 1 - first);
      for (int e = 0; e < count; ++e) b[e] = first + e;
      work_out(a, b, count, d, log_d, code);
      for (int e = 0; e < count; ++e) {
        places[first + e] = PairPlace{d[e], log_d[e]};
        codes[first + e] = PairCode::to_table(code[e]);
      }
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
    if (progress != nullptr) progress->advance(0.25 * (a1 - a0 + 1) * (a0 + a1 - 2) / 2);
  });
}

// Upper bounds are inclusive: a pair within class_max[c] (distance_within)
// is in class c. Beyond the last bound lies class C + 1. With bounds that
// never fall, the classes whose bound d exceeds are the first ones, so
// counting them gives the first class that takes d without the branches of
// a search.
int PairGeometry::distance_class(double d) const {
  if (bounds_rise_) {
    int beyond = 0;
    for (float bound : class_max_) beyond += !distance_within(d, bound);
    return beyond + 1;
  }
  int c = 1;
  while (c <= n_classes_ && !distance_within(d, class_max_[static_cast<std::size_t>(c - 1)])) ++c;
  return c;
}

// Each step over all the pairs in turn, several pairs at once; only the
// logarithm, from the C library, is taken one pair at a time.
void PairGeometry::work_out(int a, const int* b, int count, double* d, double* log_d, int* code) const {
  sample_distances(data_, a, b, count, d);
  if (bounds_rise_) {
    // distance_class eight pairs at a time, each distance rounded to single
    // precision as distance_within rounds it (the same conversion, in the
    // same rounding mode): each comparison that a pair fails sets its lane
    // to -1, which is taken from the class.
    const float* bounds = class_max_.data();
    const int n_bounds = n_classes_;
    auto single = [](const double* four) {
      return _mm_movelh_ps(_mm_cvtpd_ps(_mm_loadu_pd(four)), _mm_cvtpd_ps(_mm_loadu_pd(four + 2)));
    };
    int e = 0;
    for (; e + 8 <= count; e += 8) {
      const __m128 low_distances = single(d + e), high_distances = single(d + e + 4);
      __m128i low = _mm_set1_epi32(1), high = low;
      for (int c = 0; c < n_bounds; ++c) {
        const __m128 bound = _mm_set1_ps(bounds[c]);
        low = _mm_sub_epi32(low, _mm_castps_si128(_mm_cmpnle_ps(low_distances, bound)));
        high = _mm_sub_epi32(high, _mm_castps_si128(_mm_cmpnle_ps(high_distances, bound)));
      }
      _mm_storeu_si128(reinterpret_cast<__m128i*>(code + e), low);
      _mm_storeu_si128(reinterpret_cast<__m128i*>(code + e + 4), high);
    }
    for (; e < count; ++e) code[e] = distance_class(d[e]);
  } else {
    for (int e = 0; e < count; ++e) code[e] = distance_class(d[e]);
  }
  if (interval_.restricted()) {
    const float low = interval_.min_distance, high = interval_.max_distance;
    for (int e = 0; e < count; ++e)
      code[e] |= low <= distance_for_bounds(d[e]) && distance_within(d[e], high) ? PairCode::kInRegression : 0;
  } else {
    for (int e = 0; e < count; ++e) code[e] |= PairCode::kInRegression;
  }
  for (int e = 0; e < count; ++e) log_d[e] = std::log(d[e]);
}

}  // namespace kalveno
