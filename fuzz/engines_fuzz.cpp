// Fuzzing target: the fast evaluations of Moran's I and of the association
// coefficients held to their plain evaluations, bit for bit. From the input
// it builds a small data set as the loader could have made it (single-
// precision numbers from zeros, signed zeros and equal values to the largest
// and the subnormal ones, missing data, samples sharing a position, class
// bounds in any order), a pair selection, a regression interval and a few
// placements (the identity, complete, toroidal on grids, samples left out),
// and evaluates each placement with every way the engine can run. Any
// difference in any bit of any result is a finding.
#include <algorithm>
#include <bit>
#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "association/association_plain.h"
#include "association/coefficients.h"
#include "randomization/permutation.h"
#include "randomization/sample_grid.h"
#include "spatial/lane_kernels.h"
#include "spatial/moran.h"
#include "spatial/moran_plain.h"
#include "spatial/spatial_data.h"

namespace {

using namespace kalveno;

// The input read as a sequence of choices; past its end every choice is the
// smallest.
class Choices {
 public:
  Choices(const std::uint8_t* bytes, std::size_t size) : bytes_(bytes), size_(size) {}
  // A whole number from lo to hi.
  int range(int lo, int hi) {
    const std::uint64_t span = static_cast<std::uint64_t>(hi - lo) + 1;
    std::uint64_t x = 0;
    for (std::uint64_t reach = 1; reach < span && at_ < size_; reach <<= 8) x = x << 8 | bytes_[at_++];
    return lo + static_cast<int>(x % span);
  }
  bool flag() { return range(0, 1) == 1; }
  std::uint32_t bits32() {
    const auto high = static_cast<std::uint32_t>(range(0, 65535));
    return high << 16 | static_cast<std::uint32_t>(range(0, 65535));
  }

 private:
  const std::uint8_t* bytes_;
  std::size_t size_, at_ = 0;
};

// The ways the engine is run and held to the plain evaluation: on every
// vector path this processor has, with the pair geometry looked up in its
// table and worked out pair by pair; and once with the table filled by two
// workers.
struct EngineVariant {
  std::string name;
  std::size_t table_limit;
  VectorPath path;
  int n_workers;
  int counts_in_loop = -1;  // 1 or 0 forces where the pairs a variable uses are counted; -1 leaves it to the setup
};
std::vector<EngineVariant> engine_variants() {
  std::vector<EngineVariant> variants;
  for (VectorPath path : {VectorPath::kSse2, VectorPath::kAvx2, VectorPath::kAvx512}) {
    if (!vector_path_supported(path)) continue;
    variants.push_back({std::string(vector_path_name(path)) + ", table", SIZE_MAX, path, 1, 1});
    variants.push_back({std::string(vector_path_name(path)) + ", table, counts from missing values", SIZE_MAX, path, 1, 0});
    variants.push_back({std::string(vector_path_name(path)) + ", pairs worked out", 0, path, 1});
  }
  variants.push_back({"table filled by two workers", SIZE_MAX, best_vector_path(), 2});
  return variants;
}
const std::vector<EngineVariant> kEngineVariants = engine_variants();

// The vector paths the association coefficients can run on, as far as this
// processor has them.
std::vector<VectorPath> association_paths() {
  std::vector<VectorPath> paths;
  for (VectorPath path : {VectorPath::kSse2, VectorPath::kAvx2, VectorPath::kAvx512})
    if (vector_path_supported(path)) paths.push_back(path);
  return paths;
}
const std::vector<VectorPath> kAssociationPaths = association_paths();

constexpr int kMaxSamples = 24, kMaxVariables = 20, kMaxClasses = 6, kMaxStates = 6, kMaxPlacements = 4;

// A number as the loader reads one: a single-precision float, often one of
// the edge cases, or one seen before.
double number(Choices& in, const std::vector<double>& earlier) {
  switch (in.range(0, 15)) {
    case 0: return 0.0;
    case 1: return -0.0;
    case 2: return 1;
    case 3: return -1;
    case 4: return FLT_MAX;
    case 5: return -FLT_MAX;
    case 6: return FLT_MIN;                      // the smallest normal float
    case 7: return std::ldexp(1.0, -149);        // the smallest subnormal float
    case 8: return -std::ldexp(3.0, -140);       // another subnormal
    case 9: return static_cast<float>(1e30);
    case 10: return static_cast<float>(1e-30);
    case 11:
      if (!earlier.empty()) return earlier[static_cast<std::size_t>(in.range(0, static_cast<int>(earlier.size()) - 1))];
      return 0.5;
    case 12: {
      const float x = std::bit_cast<float>(in.bits32());
      return std::isfinite(x) ? x : 2.0f;
    }
    default: return static_cast<float>(in.range(-32768, 32767)) / 8;
  }
}

struct FuzzData {
  DataSet data;
  int n_grids = 0;
  SampleGrid grid;
};

FuzzData make_data(Choices& in) {
  const int n = in.range(0, kMaxSamples), v_count = in.range(0, kMaxVariables);
  std::vector<double> bounds;
  const int n_classes = in.range(0, kMaxClasses);
  for (int c = 1; c <= n_classes; ++c) bounds.push_back(number(in, bounds));
  FuzzData made{testing::empty_data_set(n, v_count, bounds), 0, {}};
  DataSet& data = made.data;

  std::vector<double> seen;
  for (int i = 1; i <= n; ++i) {
    if (i > 1 && in.range(0, 3) == 0) {  // the position of an earlier sample
      const int earlier = in.range(1, i - 1);
      data.x[i] = data.x[earlier];
      data.y[i] = data.y[earlier];
    } else {
      data.x[i] = number(in, seen);
      seen.push_back(data.x[i]);
      data.y[i] = number(in, seen);
      seen.push_back(data.y[i]);
    }
  }
  // Great-circle distances, on positions brought into the degrees the
  // loader lets through.
  if (in.flag()) {
    for (int i = 1; i <= n; ++i) {
      if (!(data.x[i] >= kLowestLongitude && data.x[i] <= kHighestLongitude)) data.x[i] = std::fmod(data.x[i], 180.0);
      if (!(data.y[i] >= kLowestLatitude && data.y[i] <= kHighestLatitude)) data.y[i] = std::fmod(data.y[i], 90.0);
    }
    data.distance_kind = DistanceKind::kGreatCircle;
    make_sphere_points(Allocator(), data);
  }
  for (int v = 1; v <= v_count; ++v) {
    const int n_states = in.flag() ? in.range(1, kMaxStates) : 0;
    if (n_states > 0) testing::make_qualitative(data, v, n_states);
    const int missing_one_in = in.range(0, 4);  // 0: none missing
    for (int i = 1; i <= n; ++i) {
      if (missing_one_in != 0 && in.range(1, missing_one_in) == 1)
        data.values(v, i) = MISSING_VALUE;
      else if (n_states > 0)
        data.values(v, i) = in.range(1, n_states);
      else
        seen.push_back(data.values(v, i) = number(in, seen));
    }
  }

  // Grids: each sample in one, at grid X and Y from 0 (outside the torus) up.
  made.n_grids = n > 0 ? in.range(0, std::min(n, 3)) : 0;
  data.n_grids = made.n_grids;
  if (made.n_grids > 0) {
    for (int i = 1; i <= n; ++i) {
      data.sample_grid(0, i) = in.range(1, made.n_grids);
      data.sample_grid(1, i) = in.range(0, 4);
      data.sample_grid(2, i) = in.range(0, 4);
      data.max_grid_x = std::max(data.max_grid_x, data.sample_grid(1, i));
      data.max_grid_y = std::max(data.max_grid_y, data.sample_grid(2, i));
    }
    made.grid = build_sample_grids(Allocator(), n, made.n_grids, data.sample_grid, data.max_grid_x, data.max_grid_y,
                                   [](const std::string&) {});
  }
  return made;
}

// A pair selection as the dialogue makes one: by a qualitative variable and
// states of it.
PairFilter make_filter(Choices& in, const DataSet& data) {
  std::vector<int> qualitative;
  for (int v = 1; v <= data.n_variables; ++v)
    if (data.is_qualitative(v)) qualitative.push_back(v);
  PairFilter filter;
  if (qualitative.empty()) return filter;
  filter.selection = static_cast<PairSelection>(in.range(0, 5));
  filter.variable = qualitative[static_cast<std::size_t>(in.range(0, static_cast<int>(qualitative.size()) - 1))];
  filter.first_state = in.range(1, data.var_kind[filter.variable]);
  filter.second_state = in.range(1, data.var_kind[filter.variable]);
  return filter;
}

// Two numbers of 0 or more, the first not above the second, as the dialogue
// takes them; both 0 leaves the regression unrestricted.
RegressionInterval make_interval(Choices& in) {
  if (in.flag()) return RegressionInterval{};
  const std::vector<double> none;
  float low = static_cast<float>(number(in, none)), high = static_cast<float>(number(in, none));
  if (low < 0) low = -low;
  if (high < 0) high = -high;
  if (low > high) std::swap(low, high);
  return RegressionInterval{low, high};
}

// A permutation and how it is read: a complete one either way, one that
// leaves samples out as the samples moving.
struct Placement {
  Permutation perm;
  Randomization randomization = Randomization::kToroidal;
};

Placement make_placement(Choices& in, const FuzzData& made) {
  const int n = made.data.n_samples;
  Placement placement{identity_permutation(n)};
  Permutation& perm = placement.perm;
  switch (in.range(0, 3)) {
    case 0: break;  // the data as observed
    case 1:         // complete, every sample placed
      for (int s = n; s > 1; --s) std::swap(perm[s], perm[in.range(1, s)]);
      if (in.flag()) placement.randomization = Randomization::kComplete;
      break;
    case 2:  // toroidal: samples whose target cell is empty are left out
      if (made.n_grids > 0) {
        Random rng;
        rng.random_state = -in.range(1, 2147483646);
        toroidal_permutation(made.grid, made.n_grids, perm, rng);
      }
      break;
    default:  // complete, some samples left out
      for (int s = n; s > 1; --s) std::swap(perm[s], perm[in.range(1, s)]);
      for (int s = 1; s <= n; ++s)
        if (in.range(0, 3) == 0) perm[s] = 0;
      break;
  }
  return placement;
}

bool same_bits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

[[noreturn]] void differs(const char* what, const char* how, int row, int column, double fast, double plain) {
  std::fprintf(stderr, "\n%s (%s) differs from the plain evaluation at (%d, %d): %a, plain %a\n", what, how, row,
               column, fast, plain);
  std::abort();
}

void compare_moran(const char* how, const MoranResults& fast, const MoranResults& plain, int n_variables,
                   int n_classes) {
  for (int c = 0; c <= n_classes + 1; ++c)
    if (fast.class_pair_count[c] != plain.class_pair_count[c])
      differs("Moran's I pair count", how, 0, c, fast.class_pair_count[c], plain.class_pair_count[c]);
  for (int c = 1; c <= n_classes; ++c)
    if (!same_bits(fast.class_mean_distance[c], plain.class_mean_distance[c]))
      differs("Moran's I mean distance", how, 0, c, fast.class_mean_distance[c], plain.class_mean_distance[c]);
  for (int v = 1; v <= n_variables; ++v)
    for (int c = -2; c <= n_classes + 1; ++c)
      if (!same_bits(fast.moran_matrix(v, c), plain.moran_matrix(v, c)))
        differs("Moran's I", how, v, c, fast.moran_matrix(v, c), plain.moran_matrix(v, c));
}

void compare_association(const char* how, const RangedMatrix<double>& fast, const StateMeans& fast_means,
                         const testing::AssociationValues& plain, const DataSet& data) {
  const int v_count = data.n_variables;
  for (int j = 1; j <= v_count; ++j)
    for (int k = 1; k <= v_count; ++k)
      if (!same_bits(fast(j, k), plain.association(j, k)))
        differs("association coefficient", how, j, k, fast(j, k), plain.association(j, k));
  for (int j = 1; j <= v_count; ++j) {
    if (data.var_kind[j] < 2) continue;
    for (int k = 1; k <= v_count; ++k) {
      if (data.is_qualitative(k)) continue;
      for (int a = 1; a <= data.var_kind[j]; ++a)
        if (!same_bits(fast_means[j](k, a), plain.means[j](k, a)))
          differs("association state mean", how, j, k * 100 + a, fast_means[j](k, a), plain.means[j](k, a));
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  Choices in(bytes, size);
  const FuzzData made = make_data(in);
  const DataSet& data = made.data;
  const DistanceClasses& classes = data.classes;
  const PairFilter filter = make_filter(in, data);
  const RegressionInterval interval = make_interval(in);
  std::vector<Placement> placements;
  const int n_placements = in.range(1, kMaxPlacements);
  for (int p = 0; p < n_placements; ++p) placements.push_back(make_placement(in, made));

  const Allocator allocator;
  const int v_count = data.n_variables, n_classes = classes.n_classes;
  std::vector<MoranResults> plain;
  for (const Placement& placement : placements) {
    plain.push_back(make_moran_results(allocator, v_count, n_classes));
    testing::plain_moran_statistics(data, placement.randomization, placement.perm, classes, filter, interval,
                                    plain.back());
  }
  for (const EngineVariant& variant : kEngineVariants) {
    MoranSetup setup(allocator, data, classes, filter, interval, variant.table_limit, variant.path, variant.n_workers);
    if (variant.counts_in_loop >= 0) setup.count_in_pair_loop(variant.counts_in_loop == 1);
    MoranScratch scratch(setup);  // reused from placement to placement, as a worker does
    MoranResults fast = make_moran_results(allocator, v_count, n_classes);
    for (std::size_t p = 0; p < placements.size(); ++p) {
      moran_statistics(setup, placements[p].randomization, placements[p].perm, scratch, fast);
      compare_moran(variant.name.c_str(), fast, plain[p], v_count, n_classes);
    }
  }

  AssociationInput input = prepare_association_input(allocator, v_count, data.var_kind, data.n_samples, data.values,
                                                     best_vector_path());
  AssociationScratch scratch(allocator, input);  // shared by every path, as by every replicate of a worker
  RangedMatrix<double> association = allocator.double_matrix(1, v_count, 1, v_count);
  StateMeans means = make_state_means(allocator, v_count, data.var_kind);
  for (const Placement& placement : placements) {
    const Permutation& perm = placement.perm;
    const testing::AssociationValues plain =
        testing::plain_association(v_count, data.var_kind, data.n_samples, data.values, perm);
    for (VectorPath path : kAssociationPaths) {
      input.path = path;
      association_coefficients(input, perm, scratch, association, &means);
      compare_association(vector_path_name(path), association, means, plain, data);
    }
  }
  return 0;
}
