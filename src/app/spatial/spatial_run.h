// Spatial autocorrelation (menu choice 1, --spatial): Moran's I per distance
// class, its randomization tests and, by option, its analytical tests and
// corrections across the classes. Its questions, asked by the dialogue or
// answered by its options, are in spatial_questions.cpp; its run, from the
// choices to the reports, in spatial_run.cpp.
#pragma once
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "app/analyses.h"
#include "app/menu.h"
#include "spatial/moran.h"
#include "spatial/moran_correction.h"
#include "spatial/pair_distances.h"

namespace kalveno {

class Console;
struct DataSet;
struct Session;

// The answers of the spatial autocorrelation dialogue, and the choices only
// options make.
struct SpatialChoices {
  PairFilter filter;
  RegressionInterval interval;
  RandomizationCount count;
  bool detailed_report = false;
  // --adjust and --analytical: the correction the results file shows after
  // each test, and the analytical tests of Moran's I.
  PAdjustment adjust = PAdjustment::kNone;
  bool analytical = false;
  // --classes: the distance classes chosen from the pairs in place of line 3
  // of the data file, and the option as spelled ("--classes=sturges").
  std::optional<ClassRule> classes;
  std::string classes_option;
};

extern const OptionSpec kSpatialOption;
// Its own options: the pair selection, the regression interval, the
// corrections, the analytical tests and the distance classes.
std::span<const OptionSpec* const> spatial_options();
// A qualitative variable to select pairs by comes with a selection, and a
// selection with its variable.
std::optional<std::string> check_spatial_options(const CommandLine& line);

// An answer to the regression-interval question: two numbers, neither
// negative, the first not above the second; a blank answer leaves the
// regression unrestricted. Anything else gives nothing (asked again).
std::optional<RegressionInterval> read_regression_interval(std::string_view answer);

// Asks every question of the analysis, in order: the pair selection, the
// regression interval, the number of randomizations and, when there are
// any, whether to detail the tests.
SpatialChoices ask_spatial_choices(Console& console, const DataSet& data, int randomization_ceiling);
// The dialogue, then the analysis.
void ask_and_run_spatial(Session& session);
// The choices of the options, or the refusal of what the data lack: an
// unknown qualitative variable or state, or a toroidal test without grids.
ChosenRun spatial_from_options(const Session& session);

// Computes and writes the observed statistics and, when asked for, their
// analytical tests, then runs the complete series and, when asked for and
// the data have grids, the toroidal one. A count of -1 runs nothing.
void run_spatial_autocorrelation(Session& session, const SpatialChoices& choices);

}  // namespace kalveno
