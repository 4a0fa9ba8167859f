// One evaluation of Moran's I for one placement: the pair loop over a
// MoranSetup, in a MoranScratch. Used by moran_statistics only.
#pragma once
#include "spatial/moran.h"

namespace kalveno {

// Rows of MoranScratch's regression sums.
enum RegressionSum { kPairs, kSumI, kSumId, kSumIlog, kSumD, kSumD2, kSumLog, kSumLog2, kRegressionSums };

class MoranEvaluation {
 public:
  // With sum_all_pairs false, the sums over all selected pairs (column 0)
  // are copied from the setup, which worked them out once: they are the same
  // for every placement in which each sample has a position.
  MoranEvaluation(const MoranSetup& setup, const Permutation& perm, MoranScratch& scratch, MoranResults& results,
                  bool sum_all_pairs)
      : s_(setup), perm_(perm), w_(scratch), out_(results), sum_all_pairs_(sum_all_pairs) {}

  void run();

 private:
  bool selected(int i, int j) const;
  template <bool kTabulated>
  int gather_row(int i);
  template <bool kQuantitative>
  void add_row(int i, int n_pairs, int k);
  template <bool kQuantitative, bool kSumAll, bool kRestricted>
  void add_row_lanes(int i, int n_pairs, int k);
  void finish();

  const MoranSetup& s_;
  const Permutation& perm_;
  MoranScratch& w_;
  MoranResults& out_;
  const bool sum_all_pairs_;
};

}  // namespace kalveno
