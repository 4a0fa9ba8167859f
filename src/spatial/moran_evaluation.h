// One evaluation of Moran's I for one placement: the pair loop over a
// MoranSetup, in a MoranScratch. Used by moran_statistics and the setup.
#pragma once
#include "base/progress.h"
#include "spatial/moran.h"

namespace kalveno {

class MoranEvaluation {
 public:
  // Pairs are gathered this many at a time, so that their geometry stays in
  // the first-level cache while every lane group runs over it.
  static constexpr int kStretch = 512;

  // With sum_all_pairs false, the sums over all selected pairs (column 0)
  // are copied from the setup, which worked them out once: they are the same
  // for every placement in which each sample has a position.
  MoranEvaluation(const MoranSetup& setup, const Permutation& perm, MoranScratch& scratch, MoranResults& results,
                  bool sum_all_pairs)
      : s_(setup), perm_(perm), positions_(perm.data()), w_(scratch), out_(results), sum_all_pairs_(sum_all_pairs) {}

  // The samples move to the positions of the permutation.
  void run();
  // Each variable's values move among the samples that have it, which keep
  // their positions (see moran.h).
  void run_placing_values();

  // The same results with the work shared out among n_workers threads
  // (moran_shared_evaluation.cpp): the geometry of a batch of pairs is
  // gathered by all of them, then each adds the pairs, in order, to lanes of
  // its own. Also counts the pairs at distance 0 inside the regression.
  void run_shared(int n_workers, Progress& progress, long long& regression_pairs_at_distance_zero);

 private:
  void reset();
  template <bool kTabulated, bool kFiltered>
  void run_rows();
  template <bool kTabulated>
  void run_placed_rows();
  void place_values();
  void take_fixed_pairs();
  template <bool kTabulated, bool kFiltered>
  void run_shared_as(int n_workers, Progress& progress, long long& at_zero);
  bool selected(int i, int j) const;
  // The selected pairs (i, j), from j on and before j_end, whose samples
  // both have a position (in positions_), up to max_pairs of them: their
  // samples, codes, distances and logarithms. Leaves j at the first pair not
  // looked at; returns how many were gathered.
  struct Gathered {
    int* sample;
    int* code;
    double* distance;
    double* log_distance;
  };
  template <bool kTabulated, bool kFiltered>
  int gather(int i, int& j, int j_end, int max_pairs, const Gathered& out) const;
  // Counts the gathered pairs per class, adds their distances to the class
  // sums and makes the regression sums that lanes without missing data
  // share, in the order of the pairs.
  void add_pair_sums(const GatheredPairs& pairs, bool share);
  LaneGroup lane_group(bool quantitative, MoranScratch& scratch) const;
  LaneGroup placed_lane_group(bool quantitative);
  bool moves_samples_only();
  void count_from_missing();
  void finish();

  const MoranSetup& s_;
  const Permutation& perm_;
  // Where gather finds the position of each sample [0..N]: perm_, or the
  // identity when the values move instead.
  const int* positions_;
  MoranScratch& w_;
  MoranResults& out_;
  const bool sum_all_pairs_;
  bool counts_from_missing_ = false;  // see MoranSetup::count_in_pair_loop
};

}  // namespace kalveno
