// What one correlogram shows: a variable's Moran's I per distance class
// against the mean distance of the class, each point with its significance
// code, and the band between the 95% bounds of the randomized values.
#pragma once
#include <cmath>
#include <string>
#include <vector>

#include "plot/spatial_results.h"

namespace kalveno::plot {

struct CorrelogramPoint {
  int class_number;  // 1..C
  double distance;   // mean distance of the class
  double moran;
  int stars;         // 0..3; -1 when untested or the code could not be read
  // The same for the class's P adjusted across the correlogram; -1 when the
  // test shows no correction.
  int corrected_stars = -1;
};

struct BandPoint {
  int class_number;
  double distance, low, high;
};

struct Correlogram {
  std::string variable;
  std::string randomization;  // empty for observed values without a test
  int n_rep = 0;
  std::string data_file, pairs;
  std::string correction;  // the method of the test's correction; empty when it shows none
  // A qualitative variable's class values have the expectation -1 / (N - 1)
  // without autocorrelation, not 0: NaN for a quantitative variable (or N
  // unknown).
  double expectation = NAN;
  std::vector<CorrelogramPoint> points;       // in class order, finite values only
  std::vector<std::vector<BandPoint>> bands;  // each a run of consecutive classes
};

// The correlogram of variable v (0-based) of run, with the codes and band of
// test (nullptr for the observed values alone). A class without pairs has no
// position and a value that is not a finite number is no point: both are left
// out, and a band is broken where they are.
Correlogram make_correlogram(const SpatialRun& run, int v, const SpatialTest* test);

}  // namespace kalveno::plot
