// A correlogram runs one test per distance class; these corrections make
// its stars read as findings. The family is one variable's classes under one
// test, and a class without a P value stays out of it. The correlogram as a
// whole is significant at level a when its smallest class P is at most a / k
// (Bonferroni, k the classes in the family); each class has an adjusted P,
// by Holm's step-down method or by the progressive Bonferroni of the
// correlogram literature (class c judged at a / c).
#pragma once
#include "base/allocation.h"
#include "base/ranged_array.h"
#include "numeric/resample_summary.h"
#include "spatial/moran_analytical.h"

namespace kalveno {

// The adjustment the results file shows: none (the default), Holm's or the
// progressive one.
enum class PAdjustment { kNone, kHolm, kProgressive };

struct CorrelogramCorrection {
  RangedVector<float> whole;     // [1..V]: min(1, k x the smallest class P)
  RangedMatrix<float> adjusted;  // [1..V][1..C]: each class's adjusted P
};

// class_p [1..V][1..C] holds each class's two-sided P, not a number where
// the class has none. The classes are adjusted by the progressive method
// when asked for, by Holm's otherwise.
CorrelogramCorrection correct_correlograms(const Allocator& allocator, const RangedMatrix<float>& class_p,
                                           PAdjustment method);

// The two-sided P of each class [1..V][1..C] of a randomization test (not a
// number where the observed value is none) or of an analytical test.
RangedMatrix<float> class_p_values(const Allocator& allocator, const RangedMatrix<ResampleSummary>& stats,
                                   int n_variables, int n_classes);
RangedMatrix<float> class_p_values(const Allocator& allocator, const RangedMatrix<AnalyticalTest>& tests);

// The fewest randomizations whose smallest two-sided P, 2 / (n + 1), still
// reaches 0.05 once adjusted across n_classes classes (Holm's first class,
// the progressive method's last), and earns a code (99 or more); 0 when no
// count up to max_count does.
int replicates_to_reach_correction(int n_classes, int max_count);

// The first class that the progressive method cannot bring to 0.05 with
// n_rep randomizations (n_classes + 1 when every class can).
int first_class_beyond_reach(int n_classes, int n_rep);

}  // namespace kalveno
