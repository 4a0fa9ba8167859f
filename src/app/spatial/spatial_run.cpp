#include "app/spatial/spatial_run.h"

#include <cmath>
#include <optional>
#include <string>

#include "app/results_file.h"
#include "app/session.h"
#include "base/console.h"
#include "base/progress.h"
#include "base/text.h"
#include "spatial/moran_report.h"
#include "spatial/moran_series.h"
#include "spatial/moran_table.h"

namespace kalveno {

namespace {

// The classes of --classes in place of those of the data file.
void choose_classes(Session& session, const ClassRule& rule, const std::string& option, int n_workers) {
  DistanceClasses chosen;
  {
    Progress progress(session.console);
    chosen = choose_distance_classes(session.allocator, session.data, rule, session.distance_range.largest, n_workers,
                                     progress);
  }
  session.console.print("\nNote: the %s %s from %s, not from line 3 of the data file",
                        counted(chosen.n_classes, "distance class", "distance classes").c_str(),
                        chosen.n_classes == 1 ? "comes" : "come", option.c_str());
  if (rule.kind != ClassRuleKind::kSturges && chosen.n_classes < rule.n_classes)
    session.console.print(" (%i asked for: tied distances share a bound)", rule.n_classes);
  session.console.print(".");
  const double smallest = session.distance_range.smallest;
  if (rule.max_distance > 0 && session.data.n_samples >= 2 && !distance_within(smallest, rule.max_distance))
    session.console.warn(format("\nWarning: no pair of samples lies within MAX of %s: the smallest distance "
                                "between samples is %f, so the distance classes hold no pair.",
                                option.c_str(), smallest));
  session.data.classes = std::move(chosen);
}

// Says when the randomizations are too few for a class to stay significant
// at 5 % once corrected.
void note_correction_reach(Console& console, PAdjustment method, int n_classes, int n_rep) {
  if (method == PAdjustment::kNone || n_classes < 1) return;
  const int needed = replicates_to_reach_correction(n_classes, kMostReplicates);
  const std::string enough =
      needed > 0 ? format("at least %i", needed) : format("more than %i, which is beyond the limit", kMostReplicates);
  if (method == PAdjustment::kHolm) {
    if (needed > 0 && n_rep >= needed) return;
    console.print("\nNote: after Holm's correction no class of a correlogram of %s can reach P <= 0.05 with %i "
                  "randomizations; that needs %s.",
                  counted(n_classes, "class", "classes").c_str(), n_rep, enough.c_str());
    return;
  }
  const int first = first_class_beyond_reach(n_classes, n_rep);
  if (first > n_classes) return;
  console.print("\nNote: under the progressive correction class %i%s of the correlogram cannot reach P <= 0.05 with %i "
                "randomizations; %s %s.",
                first, first < n_classes ? format(" to %i", n_classes).c_str() : "", n_rep,
                n_classes == 1 ? "it needs" : format("all %i classes need", n_classes).c_str(), enough.c_str());
}

// A class that holds no pair, or none that a variable can use, has no
// value: said once, naming the classes (and, when only the first holds
// pairs, the largest distance, which bounds in another unit than the
// coordinates' often leave below the second class).
void warn_of_empty_classes(Session& session, const MoranResults& observed) {
  const DataSet& data = session.data;
  const int n_classes = data.classes.n_classes;
  std::string empty, unusable;
  int n_empty = 0;
  for (int c = 1; c <= n_classes; ++c) {
    if (observed.class_pair_count[c] == 0) {
      empty += format(" %i", c);
      ++n_empty;
      continue;
    }
    for (int v = 1; v <= data.n_variables; ++v) {
      bool some_value = false;  // a variable of no value anywhere (no spread) is another matter
      for (int d = 1; d <= n_classes; ++d) some_value = some_value || !std::isnan(observed.moran_matrix(v, d));
      if (some_value && std::isnan(observed.moran_matrix(v, c)))
        unusable += format(" %s (class %i)", data.var_names[v].c_str(), c);
    }
  }
  if (n_empty > 0) {
    std::string largest;
    if (n_empty == n_classes - 1 && observed.class_pair_count[1] > 0)
      largest = format("; the largest distance between samples is %f, within class 1", session.distance_range.largest);
    session.console.warn(format("\nWarning: %s%s%s no pair of samples, so no Moran's I%s.",
                                n_empty == 1 ? "class" : "classes", empty.c_str(), n_empty == 1 ? " holds" : " hold",
                                largest.c_str()));
  }
  if (!unusable.empty())
    session.console.warn(format("\nWarning: no pair of samples that both have the variable lies in these classes, "
                                "which give it no Moran's I:%s.",
                                unusable.c_str()));
}

// What the observed pass and the series share: the pairs of each class
// (with their table when the randomizations look pairs up again), the
// observed statistics and the workers.
struct SpatialPass {
  std::optional<MoranSetup> setup;
  MoranResults observed;
  int n_workers = 1;
  // The pairs of each class that each variable uses, for the table.
  std::optional<ClassWeights> variable_pairs;
};

// The analytical tests of the observed values, their section (and the
// corrections, when asked for) and their rows of the table.
void run_analytical_tests(Session& session, const SpatialChoices& choices, const SpatialPass& pass) {
  const MoranSetup& setup = *pass.setup;
  const MoranResults& observed = pass.observed;
  Console& console = session.console;
  const DataSet& data = session.data;
  const Allocator& allocator = session.allocator;
  const std::string qualitative = data.qualitative_names();
  if (!qualitative.empty())
    console.print("\nNote: the analytical tests concern the quantitative variables; the qualitative ones (%s) are "
                  "tested by randomization only.",
                  qualitative.c_str() + 1);
  console.print("\nComputing the analytical tests of Moran's I");
  const MoranAnalytical tests = moran_analytical_tests(setup, data, observed, pass.n_workers);
  const CorrelogramCorrection normality =
      correct_correlograms(allocator, class_p_values(allocator, tests.normality), choices.adjust);
  const CorrelogramCorrection randomization =
      correct_correlograms(allocator, class_p_values(allocator, tests.randomization), choices.adjust);
  const int n_classes = data.classes.n_classes;
  session.files.append_results(session.results_file_name, [&](OutputFile& out) {
    write_moran_analytical(out, data, n_classes, observed.class_mean_distance, tests);
    if (choices.adjust == PAdjustment::kNone) return;
    write_moran_correction(out, choices.adjust, "analytical test under the NORMALITY assumption", 0, data, n_classes,
                           observed.class_mean_distance, normality);
    write_moran_correction(out, choices.adjust, "analytical test under the RANDOMIZATION assumption", 0, data,
                           n_classes, observed.class_mean_distance, randomization);
  });
  if (session.tabulate)
    add_moran_analytical_rows(session.table_rows, data, data.classes, observed, *pass.variable_pairs, tests, normality,
                              randomization);
}


// The pairs and the observed statistics, written to the results file and the table.
void run_observed_moran(Session& session, const SpatialChoices& choices, SpatialPass& pass) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const DistanceClasses& classes = data.classes;
  const Allocator& allocator = session.allocator;
  console.print("\nComputing Moran's I statistics");
  pass.n_workers = replicate_workers(console, session.settings);
  const VectorPath path = vector_path(console, session.settings);
  // The pair table pays only when the randomizations look pairs up again.
  const std::size_t table_limit = choices.count.n_rep > 0 ? PairGeometry::default_table_limit(allocator.budget()) : 0;
  {
    Progress progress(console);
    pass.setup.emplace(allocator, data, classes, choices.filter, choices.interval, table_limit, path, pass.n_workers,
                       &progress);
  }
  if (const long long at_zero = pass.setup->regression_pairs_at_distance_zero(); at_zero > 0)
    console.print("\nNote: pairs of samples at distance 0 enter the regression (%lld of them): the slope on "
                  "ln(distance) is not a number for each variable they have.", at_zero);
  pass.observed = make_moran_results(allocator, data.n_variables, classes.n_classes);
  observed_moran_statistics(*pass.setup, pass.observed);
  session.files.append_results(session.results_file_name, [&](OutputFile& out) {
    write_moran_observed(out, data, classes, pass.observed, choices.filter, choices.interval);
  });
  if (session.tabulate) {
    pass.variable_pairs = class_weights(*pass.setup, data, pass.n_workers, true);
    add_moran_observed_rows(session.table_rows, data, classes, pass.observed, *pass.variable_pairs);
  }
  warn_of_empty_classes(session, pass.observed);
}

// One randomization series: its replicates, then (by the process that
// writes) its section, its correction and its rows of the table.
void run_moran_test(Session& session, const SpatialChoices& choices, SpatialPass& pass, MoranSeries& series,
                Randomization randomization, const DrawPermutation& draw) {
  const DataSet& data = session.data;
  const DistanceClasses& classes = data.classes;
  const Allocator& allocator = session.allocator;
  const int n_rep = choices.count.n_rep;
  run_interruptible(session.console, session.files, session.results_file_name, n_rep,
                    randomizations_counted(randomization), [&] {
                      run_moran_series(session.console, session.group, *pass.setup, randomization, n_rep,
                                       pass.n_workers, session.work_permutation, draw, pass.observed, series);
                    });
  if (!session.files.writes()) return;  // the other processes of a run only evaluate replicates
  const CorrelogramCorrection correction = correct_correlograms(
      allocator, class_p_values(allocator, series.stats, data.n_variables, classes.n_classes), choices.adjust);
  const RangedVector<double>& mean_distance = pass.observed.class_mean_distance;
  session.files.append_results(session.results_file_name, [&](OutputFile& out) {
    write_moran_tests(out, randomization, n_rep, data, classes.n_classes, mean_distance, series.stats,
                      choices.detailed_report);
    if (choices.adjust != PAdjustment::kNone)
      write_moran_correction(out, choices.adjust,
                             format("%s randomization test (%i replicates)", randomization_name(randomization), n_rep),
                             n_rep, data, classes.n_classes, mean_distance, correction);
  });
  if (session.tabulate)
    add_moran_test_rows(session.table_rows, randomization, n_rep, data, classes, pass.observed, *pass.variable_pairs,
                        series.stats, correction);
}

// The complete series and, when asked for and the data have grids, the toroidal one.
void run_moran_tests(Session& session, const SpatialChoices& choices, SpatialPass& pass) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const int n_rep = choices.count.n_rep;
  tell_clock_seed(session);
  note_correction_reach(console, choices.adjust, data.classes.n_classes, n_rep);
  MoranSeries series = noting_allocation_failure(
      format("\nNote: the values of %i randomizations of %i variables in %i distance classes need more memory than "
             "this machine has; ask for fewer randomizations (or analyse fewer variables or classes).",
             n_rep, data.n_variables, data.classes.n_classes),
      [&] { return make_moran_series(session.allocator, n_rep, data.n_variables, data.classes.n_classes); });
  console.print("\n\nTest spatial autocorrelation by %i complete randomizations\n", n_rep);
  run_moran_test(session, choices, pass, series, Randomization::kComplete,
             [&](Permutation& perm) { complete_permutation(data.n_samples, perm, session.rng); });
  if (!choices.count.both_kinds || data.n_grids == 0) return;
  note_toroidal_placements(console, session, n_rep);
  console.print("\nTest spatial autocorrelation by %i toroidal randomizations\n", n_rep);
  run_moran_test(session, choices, pass, series, Randomization::kToroidal,
             [&](Permutation& perm) { toroidal_permutation(session.grid, data.n_grids, perm, session.rng); });
}

}  // namespace

void run_spatial_autocorrelation(Session& session, const SpatialChoices& choices) {
  if (choices.count.n_rep < 0) return;
  if (choices.classes)
    choose_classes(session, *choices.classes, choices.classes_option, worker_count(session.settings));
  SpatialPass pass;
  run_observed_moran(session, choices, pass);
  // The other processes of a run only evaluate replicates.
  if (choices.analytical && session.files.writes())
    run_analytical_tests(session, choices, pass);
  if (choices.count.n_rep > 0) run_moran_tests(session, choices, pass);
}

}  // namespace kalveno
