// One evaluation of Moran's I for one placement: the pair loop over a
// MoranSetup, in a MoranScratch. Used by moran_statistics only.
#pragma once
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
      : s_(setup), perm_(perm), w_(scratch), out_(results), sum_all_pairs_(sum_all_pairs) {}

  void run();

 private:
  template <bool kTabulated, bool kFiltered>
  void run_rows();
  bool selected(int i, int j) const;
  template <bool kTabulated, bool kFiltered>
  int gather(int i, int& j);
  LaneGroup lane_group(bool quantitative);
  bool moves_samples_only();
  void count_from_missing();
  void finish();

  const MoranSetup& s_;
  const Permutation& perm_;
  MoranScratch& w_;
  MoranResults& out_;
  const bool sum_all_pairs_;
  bool counts_from_missing_ = false;  // see MoranSetup::count_in_pair_loop
};

}  // namespace kalveno
