// Menu choice 1: spatial autocorrelation, from its questions to its reports.
#pragma once
#include <optional>
#include <string_view>

#include "app/menu.h"
#include "spatial/moran.h"
#include "spatial/moran_correction.h"

namespace kalveno {

class Console;
struct DataSet;
struct Session;

// The answers of the spatial autocorrelation dialogue.
struct SpatialChoices {
  PairFilter filter;
  RegressionInterval interval;
  RandomizationCount count;
  bool detailed_report = false;
  // Options only (--adjust, --analytical): the correction the results file
  // shows after each test, and the analytical tests of Moran's I.
  PAdjustment adjust = PAdjustment::kNone;
  bool analytical = false;
};

// The qualitative variable named exactly name, or 0.
int find_qualitative_variable(const DataSet& data, std::string_view name);
// The state of variable v named exactly name (1..k), or 0.
int find_state(const DataSet& data, int v, std::string_view name);
// An answer to the regression-interval question: two numbers, neither
// negative, the first not above the second; a blank answer leaves the
// regression unrestricted. Anything else gives nothing (asked again).
std::optional<RegressionInterval> read_regression_interval(std::string_view answer);

// Asks every question of the analysis, in order: the pair selection, the
// regression interval, the number of randomizations and, when there are
// any, whether to detail the tests.
SpatialChoices ask_spatial_choices(Console& console, const DataSet& data, int randomization_ceiling);

// Computes and writes the observed statistics and, when asked for, their
// analytical tests, then runs the complete series and, when asked for and
// the data have grids, the toroidal one. A count of -1 runs nothing.
void run_spatial_autocorrelation(Session& session, const SpatialChoices& choices);

// The dialogue, then the analysis.
void run_spatial_autocorrelation(Session& session);

}  // namespace kalveno
