#include "spatial/lane_kernels.h"

namespace kalveno {

void add_pairs(VectorPath path, const RowPairs& pairs, const LaneGroup& group, bool count) {
  switch (path) {
    case VectorPath::kAvx512: return add_pairs_avx512(pairs, group, count);
    case VectorPath::kAvx2: return add_pairs_avx2(pairs, group, count);
    case VectorPath::kSse2: return add_pairs_sse2(pairs, group, count);
  }
}

}  // namespace kalveno
