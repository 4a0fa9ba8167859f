// The spatial autocorrelation sections of the results file, tab-separated for
// a spreadsheet: the observed Moran's I per distance class with the two
// regression slopes, and one section per randomization test with each value
// marked by its significance code. Each writer appends its section to an
// open results file.
#pragma once
#include "base/files.h"
#include "data/data_set.h"
#include "numeric/resample_summary.h"
#include "randomization/permutation.h"
#include "spatial/moran.h"
#include "spatial/moran_analytical.h"
#include "spatial/moran_correction.h"

namespace kalveno {

// The observed section: the pair set, the distance classes with their pair
// counts and mean distances, and each variable's Moran's I and slopes.
void write_moran_observed(OutputFile& out, const DataSet& data, const DistanceClasses& classes,
                          const MoranResults& observed, const PairFilter& filter, const RegressionInterval& interval);

// One test section. moran_stats [1..V][-2..C] holds the summaries; class
// Moran's I are coded by their two-sided P, slopes by P<. With
// detailed_report, a table of observed values, replicate means and 95 %
// bounds follows.
void write_moran_tests(OutputFile& out, Randomization randomization, int n_rep, const DataSet& data, int n_classes,
                       const RangedVector<double>& class_mean_distance,
                       const RangedMatrix<ResampleSummary>& moran_stats, bool detailed_report);

// The analytical tests: per quantitative variable, z and the two-sided P of
// each class under the normality and the randomization assumptions, z
// coded by the P value alone.
void write_moran_analytical(OutputFile& out, const DataSet& data, int n_classes,
                            const RangedVector<double>& class_mean_distance, const MoranAnalytical& tests);

// The correction of one test's correlograms (after its section): per
// variable the whole correlogram's P and each class's adjusted P, coded.
// test names the test in the heading; n_rep is its count of randomizations,
// 0 for an analytical test, whose codes need none and which concerns the
// quantitative variables only.
void write_moran_correction(OutputFile& out, PAdjustment method, const std::string& test, int n_rep,
                            const DataSet& data, int n_classes, const RangedVector<double>& class_mean_distance,
                            const CorrelogramCorrection& correction);

}  // namespace kalveno
