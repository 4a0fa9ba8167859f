#include "plot/correlogram.h"

#include <cmath>

namespace kalveno::plot {

namespace {

// The class has pairs and a readable mean distance, so it can be placed.
bool has_position(const SpatialRun& run, int c) {
  if (c >= static_cast<int>(run.mean_distance.size()) || !std::isfinite(run.mean_distance[c])) return false;
  return c >= static_cast<int>(run.pair_count.size()) || run.pair_count[c] != 0;
}

// Row v of a test table belongs to the variable only when the names agree;
// a table cut short or from other data gives nothing.
bool row_matches(const std::vector<std::string>& names, int v, const std::string& name) {
  return v < static_cast<int>(names.size()) && names[v] == name;
}

}  // namespace

Correlogram make_correlogram(const SpatialRun& run, int v, const SpatialTest* test) {
  const SpatialVariable& variable = run.variables[v];
  Correlogram figure;
  figure.variable = variable.name;
  figure.data_file = run.data_file;
  figure.pairs = run.pairs;
  if (test && test->present) {
    figure.randomization = test->randomization;
    figure.n_rep = test->n_rep;
  }
  for (const std::string& name : run.qualitative)
    if (name == variable.name && run.n_samples > 1) figure.expectation = -1.0 / (run.n_samples - 1);
  const bool coded = test && row_matches(test->names, v, variable.name);
  const bool corrected = coded && test->corrected && row_matches(test->corrected_names, v, variable.name);
  if (corrected) figure.correction = test->correction;
  const bool banded = test && test->detailed && row_matches(test->detail_names, v, variable.name);

  std::vector<BandPoint> band;  // the run of classes being gathered
  auto end_band = [&] {
    if (!band.empty()) figure.bands.push_back(band);
    band.clear();
  };
  for (int c = 0; c < run.n_classes(); ++c) {
    if (!has_position(run, c)) {
      end_band();
      continue;
    }
    const double distance = run.mean_distance[c];
    const double moran = variable.moran[c];
    if (std::isfinite(moran)) {
      int stars = coded && c < static_cast<int>(test->stars[v].size()) ? test->stars[v][c] : -1;
      int corrected_stars =
          corrected && c < static_cast<int>(test->corrected_stars[v].size()) ? test->corrected_stars[v][c] : -1;
      figure.points.push_back({c + 1, distance, moran, stars, corrected_stars});
    }
    const double low = banded ? test->ci95_inf[v][c] : NAN, high = banded ? test->ci95_sup[v][c] : NAN;
    if (std::isfinite(low) && std::isfinite(high))
      band.push_back({c + 1, distance, low, high});
    else
      end_band();
  }
  end_band();
  return figure;
}

}  // namespace kalveno::plot
