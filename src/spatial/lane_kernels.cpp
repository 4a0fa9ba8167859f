#include "spatial/lane_kernels.h"

namespace kalveno {

LaneGroup LaneGroup::lanes(int first, int count) const {
  LaneGroup part = *this;
  // Every field by name: one added to LaneGroup stops the build here until
  // it is listed, and moved on by first if it holds a value per lane.
  auto& [n_lanes, lane_stride, own_stride, quantitative, own, present, present_bits, bit_stride, bit_lane, variance,
         reciprocal, reciprocal_exact, unlike, inverse_n_minus_1, complete, distance_flag, key, mate, select_unequal,
         fixed_pairs, sum_all, restricted, count_used, class_sum, class_used, regression] = part;
  n_lanes = count;
  own += first;
  present += first;
  bit_lane += first;
  variance += first;
  reciprocal += first;
  reciprocal_exact += first;
  unlike += first;
  inverse_n_minus_1 += first;
  complete += first;
  distance_flag += first;
  class_sum += first;
  class_used += first;
  regression += first;
  if (key != nullptr) key += first, mate += first;
  // The same for every lane.
  (void)lane_stride, (void)own_stride, (void)quantitative, (void)present_bits, (void)bit_stride;
  (void)select_unequal, (void)fixed_pairs, (void)sum_all, (void)restricted, (void)count_used;
  return part;
}

void add_pairs(VectorPath path, const RowPairs& pairs, const LaneGroup& group, bool count) {
  switch (path) {
    case VectorPath::kAvx512: return add_pairs_avx512(pairs, group, count);
    case VectorPath::kAvx2: return add_pairs_avx2(pairs, group, count);
    case VectorPath::kSse2: return add_pairs_sse2(pairs, group, count);
  }
}

}  // namespace kalveno
