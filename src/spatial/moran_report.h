// The spatial autocorrelation sections of the results file, tab-separated for
// a spreadsheet: the observed Moran's I per distance class with the two
// regression slopes, and one section per randomization test with each value
// marked by its significance code.
#pragma once
#include <string>

#include "data/data_file.h"
#include "numeric/resample_summary.h"
#include "spatial/moran.h"

namespace kalveno {

class Console;

// Appends the observed section: the pair set, the distance classes with their
// pair counts and mean distances, and each variable's Moran's I and slopes.
void write_moran_observed(Console& console, const std::string& results_path, const DataSet& data,
                          const DistanceClasses& classes, const MoranResults& observed, const PairFilter& filter,
                          const RegressionInterval& interval);

// Appends one test section ("COMPLETE" opens the complete-randomization
// heading, any other name the toroidal one). moran_stats [1..V][-2..C] holds
// the summaries; class Moran's I are coded by their two-sided P, slopes by
// P<. With detailed_report, a table of observed values, replicate means and
// 95 % bounds follows.
void write_moran_tests(Console& console, const std::string& results_path, const std::string& randomization_name,
                       int n_rep, const DataSet& data, int n_classes, const RangedVector<double>& class_mean_distance,
                       const RangedMatrix<resample_stat_type>& moran_stats, bool detailed_report);

// The mark after a value: " ***", " **", " *" or nothing.
const char* significance_code(float p, int n_rep);

}  // namespace kalveno
