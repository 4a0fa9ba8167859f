// Menu choice 1: spatial autocorrelation, from its questions to its reports.
#pragma once
#include "app/menu.h"
#include "spatial/moran.h"

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
};

// Asks every question of the analysis, in order: the pair selection, the
// regression interval, the number of randomizations and, when there are
// any, whether to detail the tests.
SpatialChoices ask_spatial_choices(Console& console, const DataSet& data, int randomization_ceiling);

// Computes and writes the observed statistics, then runs the complete series
// and, when asked for and the data have grids, the toroidal one. A count of
// -1 runs nothing.
void run_spatial_autocorrelation(Session& session, const SpatialChoices& choices);

// The dialogue, then the analysis.
void run_spatial_autocorrelation(Session& session);

}  // namespace kalveno
