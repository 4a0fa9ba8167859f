#include "randomization/process_group.h"

#include "randomization/replicate_runner.h"

namespace kalveno {

ItemRange ProcessGroup::share(int n_items, int rank) const {
  const int share = n_items / size_, longer = n_items % size_;
  ItemRange range;
  range.first = 1 + rank * share + (rank < longer ? rank : longer);
  range.last = range.first + share - 1 + (rank < longer ? 1 : 0);
  return range;
}

void ProcessGroup::finish_share(int done, bool interrupted) {
  if (interrupted) throw ReplicatesInterrupted{done};
}

void ProcessGroup::gather_replicates(RangedCube<float>& replicates, int n_rep) {
  // Replicates are the first index: a range of them is one block.
  const std::size_t replicate_bytes = sizeof(float) *
                                      static_cast<std::size_t>(replicates.second_hi() - replicates.second_lo() + 1) *
                                      static_cast<std::size_t>(replicates.third_hi() - replicates.third_lo() + 1);
  gather([&](int rank) {
    const ItemRange range = share(n_rep, rank);
    if (range.last < range.first) return std::vector<Block>{};
    return std::vector<Block>{{replicates.row(range.first, replicates.second_lo()),
                               replicate_bytes * static_cast<std::size_t>(range.last - range.first + 1)}};
  });
}

}  // namespace kalveno
