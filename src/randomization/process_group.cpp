#include "randomization/process_group.h"

namespace kalveno {

ReplicateRange ProcessGroup::replicate_range(int n_rep, int rank) const {
  const int share = n_rep / size_, longer = n_rep % size_;
  ReplicateRange range;
  range.first = 1 + rank * share + (rank < longer ? rank : longer);
  range.last = range.first + share - 1 + (rank < longer ? 1 : 0);
  return range;
}

}  // namespace kalveno
