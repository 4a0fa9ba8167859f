#include "local_moran/local_moran.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "base/interruption.h"
#include "base/parallel.h"
#include "base/results_headings.h"
#include "numeric/p_adjustment.h"
#include "numeric/sample_stream.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

const char* quadrant_name(Quadrant quadrant) {
  switch (quadrant) {
    case Quadrant::kMissing: return "";
    case Quadrant::kNoNeighbours: return headings::kNoNeighbours;
    case Quadrant::kNotSignificant: return headings::kNotSignificant;
    case Quadrant::kHighHigh: return headings::kHighHigh;
    case Quadrant::kLowLow: return headings::kLowLow;
    case Quadrant::kHighLow: return headings::kHighLow;
    case Quadrant::kLowHigh: return headings::kLowHigh;
  }
  return "";
}

namespace {

constexpr float kNotANumber = std::numeric_limits<float>::quiet_NaN();

// A value exactly at the mean counts as low, and so does a neighbourhood
// whose deviations sum to 0 (only what lies above the mean is high).
Quadrant quadrant_of(double z, double neighbour_sum) {
  if (z > 0) return neighbour_sum > 0 ? Quadrant::kHighHigh : Quadrant::kHighLow;
  return neighbour_sum > 0 ? Quadrant::kLowHigh : Quadrant::kLowLow;
}

// The storage of one worker of the test.
struct TestScratch {
  RangedVector<int> pool;      // [0..N-1]: the samples 1..N, in this order between draws
  std::vector<int> drawn_at;   // where draw t was taken from
  std::vector<int> want;       // per variable: the sample's neighbours that have it, 0 when untested
  std::vector<int> taken;      // per variable: the draws it has taken so far
  std::vector<int> active;     // the variables still taking draws
  std::vector<double> sums;    // per variable: the sum of their deviations
  std::vector<RangedVector<float>> values;  // per variable: [1..n_rep]
};

class LocalTester {
 public:
  LocalTester(const Allocator& allocator, const LocalMoranSetup& setup, int n_samples, int n_rep,
              std::int32_t seed, int n_workers)
      : setup_(setup), n_samples_(n_samples), n_rep_(n_rep), seed_(seed) {
    const std::size_t m = static_cast<std::size_t>(setup.n_variables());
    for (int w = 0; w < n_workers; ++w) {
      TestScratch scratch;
      scratch.pool = allocator.int_vector(0, n_samples - 1);
      for (int p = 0; p < n_samples; ++p) scratch.pool[p] = p + 1;
      scratch.want.assign(m, 0);
      scratch.taken.assign(m, 0);
      scratch.sums.assign(m, 0);
      for (std::size_t q = 0; q < m; ++q) scratch.values.push_back(allocator.float_vector(1, n_rep));
      scratch_.push_back(std::move(scratch));
    }
  }

  // The replicates of sample i for every variable it is tested on, then
  // their summaries.
  void test_sample(int worker, int i, LocalMoranResults& results) {
    TestScratch& scratch = scratch_[static_cast<std::size_t>(worker)];
    if (!count_wanted(i, results, scratch.want)) return;
    RangedVector<int>& pool = scratch.pool;
    const int last = n_samples_ - 1;
    // The pool is every sample but i: i is parked at the end.
    std::swap(pool[i - 1], pool[last]);
    scratch.drawn_at.resize(static_cast<std::size_t>(last));
    // Variables in chunks; each replicate draws from its own stretch of the
    // sample's stream, so a variable's draws are the same in any chunk and
    // whatever the other variables of the chunk need.
    const int m = setup_.n_variables();
    for (int q0 = 0; q0 < m; q0 += kChunk) test_chunk(scratch, i, q0, std::min(kChunk, m - q0), results);
    std::swap(pool[i - 1], pool[last]);
  }

 private:
  // Variables handled in one pass over the draws.
  static constexpr int kChunk = 64;

  // For each variable, the neighbours of sample i that have it, or 0 where
  // i is not tested on it (it lacks the variable); whether any is tested.
  bool count_wanted(int i, const LocalMoranResults& results, std::vector<int>& want) const {
    bool any = false;
    for (int q = 0; q < setup_.n_variables(); ++q) {
      const int v = setup_.variables[static_cast<std::size_t>(q)];
      want[static_cast<std::size_t>(q)] = std::isfinite(results.moran(v, i)) ? results.neighbours(v, i) : 0;
      any = any || want[static_cast<std::size_t>(q)] > 0;
    }
    return any;
  }

  // Variables q0..q0 + width - 1 of sample i: their replicates, then the
  // summaries of those it is tested on.
  void test_chunk(TestScratch& scratch, int i, int q0, int width, LocalMoranResults& results) {
    const int* want = scratch.want.data();
    double scale[kChunk];
    int wanted = 0;
    for (int q = 0; q < width; ++q) {
      scale[q] = setup_.z(i, q0 + q) / setup_.m2[static_cast<std::size_t>(q0 + q)];
      wanted += want[q0 + q] > 0;
    }
    if (wanted == 0) return;
    SampleStream stream(seed_, i);
    for (int r = 1; r <= n_rep_; ++r) {
      stream.start_replicate(r);
      draw_neighbours(scratch, stream, q0, width);
      // A zero is stored as +0, so that the bounds are the same whichever
      // way the values are ordered.
      for (int q = 0; q < width; ++q)
        scratch.values[static_cast<std::size_t>(q)][r] =
            static_cast<float>(scale[q] * scratch.sums[static_cast<std::size_t>(q)]) + 0.0f;
    }
    for (int q = 0; q < width; ++q) {
      if (want[q0 + q] == 0) continue;
      const int v = setup_.variables[static_cast<std::size_t>(q0 + q)];
      summarise_without_sorting(scratch.values[static_cast<std::size_t>(q)], n_rep_, results.test(v, i),
                                static_cast<float>(results.moran(v, i)));
    }
  }

  // One replicate of variables q0..q0 + width - 1: into sums, the sum of the
  // deviations of the neighbours drawn for each. The draws are the first
  // steps of a shuffle of the pool, as many as the variables need, undone
  // afterwards so that every replicate starts from the same order. They
  // come in batches that no variable can overfill; a sample that lacks a
  // variable adds its z of +0, which leaves the sum as it is (a sum of
  // deviations is never -0).
  void draw_neighbours(TestScratch& scratch, SampleStream& stream, int q0, int width) {
    RangedVector<int>& pool = scratch.pool;
    const int last = n_samples_ - 1;
    const int* want = scratch.want.data();
    int* taken = scratch.taken.data();
    double* sums = scratch.sums.data();
    std::fill(sums, sums + width, 0.0);
    std::fill(taken, taken + width, 0);
    int t = 0;
    std::vector<int>& active = scratch.active;
    active.clear();
    for (int q = 0; q < width; ++q)
      if (want[q0 + q] > 0) active.push_back(q);
    while (!active.empty()) {
      int batch = last;
      for (int q : active) batch = std::min(batch, want[q0 + q] - taken[q]);
      const bool every_variable = static_cast<int>(active.size()) == width;
      // The batch's samples first, then their values, whose loads then
      // wait on no draw.
      const int start = t;
      for (; t < start + batch; ++t) {
        const int from = t + static_cast<int>(stream.below(static_cast<std::uint32_t>(last - t)));
        std::swap(pool[t], pool[from]);
        scratch.drawn_at[static_cast<std::size_t>(t)] = from;
      }
      for (int d = start; d < t; ++d) {
        const double* z = setup_.z.row(pool[d]) + q0;
        const unsigned char* has = setup_.has.row(pool[d]) + q0;
        if (every_variable) {
          for (int q = 0; q < width; ++q) sums[q] += z[q];
          for (int q = 0; q < width; ++q) taken[q] += has[q];
        } else {
          for (int q : active) {
            sums[q] += z[q];
            taken[q] += has[q];
          }
        }
      }
      std::erase_if(active, [&](int q) { return taken[q] == want[q0 + q]; });
    }
    while (t-- > 0) std::swap(pool[t], pool[scratch.drawn_at[static_cast<std::size_t>(t)]]);
  }

  const LocalMoranSetup& setup_;
  int n_samples_, n_rep_;
  std::int32_t seed_;
  std::vector<TestScratch> scratch_;
};

}  // namespace

LocalMoranSetup local_moran_setup(const Allocator& allocator, const DataSet& data, double radius, int n_workers) {
  const int n = data.n_samples;
  LocalMoranSetup setup;
  setup.radius = radius == 0 ? 0.0 : radius;  // a radius typed -0 is 0
  if (data.distance_kind == DistanceKind::kGreatCircle) setup.radius_degrees = radius / kKmPerDegree;
  for (int v = 1; v <= data.n_variables; ++v) {
    if (data.is_qualitative(v)) continue;
    for (int i = 1; i <= n; ++i) {
      if (data.values(v, i) == MISSING_VALUE) continue;
      setup.variables.push_back(v);
      break;
    }
  }
  const int m = setup.n_variables();
  setup.neighbours = neighbours_within(allocator, data, radius, n_workers);
  setup.z = allocator.double_matrix(1, n, 0, m - 1);
  setup.has = allocator.matrix_of<unsigned char>(1, n, 0, m - 1, allocation_message::kMatrix);
  for (int q = 0; q < m; ++q) {
    const int v = setup.variables[static_cast<std::size_t>(q)];
    double sum = 0;
    int present = 0;
    for (int i = 1; i <= n; ++i) {
      if (data.values(v, i) == MISSING_VALUE) continue;
      sum += data.values(v, i);
      ++present;
    }
    const double mean = sum / present;
    double squares = 0;
    for (int i = 1; i <= n; ++i) {
      if (data.values(v, i) == MISSING_VALUE) continue;
      const double z = data.values(v, i) - mean;
      setup.z(i, q) = z;
      setup.has(i, q) = 1;
      squares += z * z;
    }
    setup.m2.push_back(squares / present);
  }
  return setup;
}

LocalMoranResults local_moran_observed(const Allocator& allocator, const DataSet& data, const LocalMoranSetup& setup,
                                       int n_workers) {
  const int n = data.n_samples, v_count = data.n_variables;
  LocalMoranResults results;
  results.moran = allocator.double_matrix(1, v_count, 1, n);
  results.lag = allocator.double_matrix(1, v_count, 1, n);
  results.neighbours = allocator.int_matrix(1, v_count, 1, n);
  results.test = summary_matrix(allocator, 1, v_count, 1, n);
  results.p_adjusted = allocator.matrix_of<float>(1, v_count, 1, n, allocation_message::kMatrix);
  results.quadrant = allocator.matrix_of<Quadrant>(1, v_count, 1, n, allocation_message::kMatrix);
  for (int v : setup.variables) {
    for (int i = 1; i <= n; ++i) {
      results.moran(v, i) = results.lag(v, i) = MISSING_VALUE;
      results.p_adjusted(v, i) = kNotANumber;
    }
  }
  parallel_for(n, n_workers, [&](int, int item) {
    const int i = item + 1;
    for (int q = 0; q < setup.n_variables(); ++q) {
      if (!setup.has(i, q)) continue;
      const int v = setup.variables[static_cast<std::size_t>(q)];
      // Neighbours in sample order, as a plain sum would take them.
      double sum = 0;
      int k = 0;
      for (const int* j = setup.neighbours.begin(i); j != setup.neighbours.end(i); ++j) {
        if (!setup.has(*j, q)) continue;
        sum += setup.z(*j, q);
        ++k;
      }
      const double z = setup.z(i, q);
      results.neighbours(v, i) = k;
      if (k == 0) {
        results.moran(v, i) = 0;  // an empty sum, whatever the sign of z
        results.quadrant(v, i) = Quadrant::kNoNeighbours;
        continue;
      }
      results.moran(v, i) = z / setup.m2[static_cast<std::size_t>(q)] * sum;
      results.lag(v, i) = sum / k;
      // A variable with one value throughout has no I_i to place.
      results.quadrant(v, i) =
          std::isfinite(results.moran(v, i)) ? quadrant_of(z, sum) : Quadrant::kNotSignificant;
    }
  });
  return results;
}

void test_local_moran(const Allocator& allocator, const LocalMoranSetup& setup, int n_rep, std::int32_t seed,
                      int first, int last, int n_workers, LocalMoranResults& results) {
  if (n_rep <= 0 || last < first) return;
  n_workers = std::max(1, std::min(n_workers, last - first + 1));
  LocalTester tester(allocator, setup, results.moran.col_hi(), n_rep, seed, n_workers);
  results.n_rep = n_rep;
  results.seed = seed;
  parallel_for(last - first + 1, n_workers,
               [&](int worker, int item) { tester.test_sample(worker, first + item, results); });
}

void run_local_moran_test(Console& console, ProcessGroup& group, const Allocator& allocator, const DataSet& data,
                          const LocalMoranSetup& setup, int n_rep, std::int32_t seed, int n_workers,
                          LocalMoranResults& results) {
  const int n = data.n_samples;
  if (n_rep > 0 && n > 0) {
    n_workers = std::max(1, std::min(n_workers, n));
    LocalTester tester(allocator, setup, n, n_rep, seed, n_workers);
    results.n_rep = n_rep;
    results.seed = seed;
    const ItemRange mine = group.share(n);
    // About a hundred batches, so that the marks come as the work goes.
    const int batch = std::max(1, (n + 99) / 100);
    for (int first = mine.first; first <= mine.last; first += batch) {
      const int last = std::min(mine.last, first + batch - 1);
      parallel_for(last - first + 1, n_workers,
                   [&](int worker, int item) { tester.test_sample(worker, first + item, results); });
      for (int i = first; i <= last; ++i) show_progress(console, i, n);
      // A stop signal that came to one process stops them all.
      if (interruption_requested()) group.finish_share(last - mine.first + 1, true);
    }
    group.finish_share(mine.last - mine.first + 1, false);
    // Each sample draws from a stream of its own: the samples of the other
    // processes, tested there, give the very bits they would give here.
    group.gather([&](int rank) {
      const ItemRange theirs = group.share(n, rank);
      std::vector<Block> blocks;
      if (theirs.last < theirs.first) return blocks;
      const std::size_t bytes = sizeof(ResampleSummary) * static_cast<std::size_t>(theirs.last - theirs.first + 1);
      for (int v : setup.variables) blocks.push_back(Block{&results.test(v, theirs.first), bytes});
      return blocks;
    });
    if (!group.is_first()) return;
    for (int i = mine.last + 1; i <= n; ++i) show_progress(console, i, n);
  }
  classify_local_moran(setup, results);
}

void classify_local_moran(const LocalMoranSetup& setup, LocalMoranResults& results) {
  const int n = results.moran.col_hi();
  std::vector<float> p(static_cast<std::size_t>(n));
  for (int v : setup.variables) {
    for (int i = 1; i <= n; ++i)
      p[static_cast<std::size_t>(i - 1)] = results.tested(v, i) ? results.test(v, i).p_two_sided : kNotANumber;
    const std::vector<float> adjusted = benjamini_hochberg_adjusted(p);
    for (int i = 1; i <= n; ++i) {
      results.p_adjusted(v, i) = adjusted[static_cast<std::size_t>(i - 1)];
      if (results.n_rep == 0 || results.neighbours(v, i) == 0 || results.quadrant(v, i) == Quadrant::kMissing)
        continue;
      // Compared in single precision, as every P of the program is.
      if (!(results.p_adjusted(v, i) <= kLocalSignificance)) results.quadrant(v, i) = Quadrant::kNotSignificant;
    }
  }
}

}  // namespace kalveno
