#include "spatial/moran_correction.h"

#include <algorithm>
#include <cmath>
#include <vector>

#include "numeric/p_adjustment.h"

namespace kalveno {

namespace {

// The smallest two-sided P of n_rep randomizations, multiplied by k as the
// adjustments do, within 0.05 as the codes compare it.
bool reaches(int n_rep, int k) {
  const float one_sided = static_cast<float>(1.0 / (n_rep + 1));
  const float two_sided = std::min(1.0f, 2 * one_sided);
  return static_cast<float>(std::min(1.0, k * static_cast<double>(two_sided))) <= 0.05f;
}

}  // namespace

CorrelogramCorrection correct_correlograms(const Allocator& allocator, const RangedMatrix<float>& class_p,
                                           PAdjustment method) {
  const int n_variables = class_p.row_hi(), n_classes = class_p.col_hi();
  CorrelogramCorrection correction{
      allocator.float_vector(1, n_variables),
      allocator.matrix_of<float>(1, n_variables, 1, n_classes, allocation_message::kMatrix)};
  std::vector<float> family(static_cast<std::size_t>(n_classes));
  for (int v = 1; v <= n_variables; ++v) {
    for (int c = 1; c <= n_classes; ++c) family[static_cast<std::size_t>(c - 1)] = class_p(v, c);
    correction.whole[v] = bonferroni_family(family);
    const std::vector<float> adjusted =
        method == PAdjustment::kProgressive ? progressive_adjusted(family) : holm_adjusted(family);
    for (int c = 1; c <= n_classes; ++c) correction.adjusted(v, c) = adjusted[static_cast<std::size_t>(c - 1)];
  }
  return correction;
}

RangedMatrix<float> class_p_values(const Allocator& allocator, const RangedMatrix<ResampleSummary>& stats,
                                   int n_variables, int n_classes) {
  RangedMatrix<float> p = allocator.matrix_of<float>(1, n_variables, 1, n_classes, allocation_message::kMatrix);
  for (int v = 1; v <= n_variables; ++v)
    for (int c = 1; c <= n_classes; ++c) p(v, c) = compared(stats(v, c)) ? stats(v, c).p_two_sided : NAN;
  return p;
}

RangedMatrix<float> class_p_values(const Allocator& allocator, const RangedMatrix<AnalyticalTest>& tests) {
  const int n_variables = tests.row_hi(), n_classes = tests.col_hi();
  RangedMatrix<float> p = allocator.matrix_of<float>(1, n_variables, 1, n_classes, allocation_message::kMatrix);
  for (int v = 1; v <= n_variables; ++v)
    for (int c = 1; c <= n_classes; ++c) p(v, c) = tests(v, c).p_two_sided;
  return p;
}

int replicates_to_reach_correction(int n_classes, int max_count) {
  for (int n_rep = 99; n_rep <= max_count; ++n_rep)
    if (reaches(n_rep, n_classes)) return n_rep;
  return 0;
}

int first_class_beyond_reach(int n_classes, int n_rep) {
  int c = 1;
  while (c <= n_classes && reaches(n_rep, c)) ++c;
  return c;
}

}  // namespace kalveno
