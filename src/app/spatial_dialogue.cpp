#include "app/spatial_dialogue.h"

#include <optional>
#include <string>
#include <vector>

#include "app/results_file.h"
#include "app/session.h"
#include "base/console.h"
#include "base/program_end.h"
#include "base/progress.h"
#include "base/text.h"
#include "spatial/moran_report.h"
#include "spatial/moran_series.h"
#include "spatial/moran_table.h"

namespace kalveno {

int find_qualitative_variable(const DataSet& data, std::string_view word) {
  for (int v = 1; v <= data.n_variables; ++v)
    if (data.is_qualitative(v) && data.var_names[v] == word) return v;
  return 0;
}

int find_state(const DataSet& data, int v, std::string_view name) {
  for (int s = 1; s <= data.var_kind[v]; ++s)
    if (data.state_names[v][static_cast<std::size_t>(s)] == name) return s;
  return 0;
}

std::optional<RegressionInterval> read_regression_interval(std::string_view answer) {
  if (is_blank(answer)) return RegressionInterval{};
  const ScannedFloat low = scan_float(answer);
  if (!low.found || !low.in_range) return std::nullopt;
  const ScannedFloat high = scan_float(answer.substr(low.end));
  if (!high.found || !high.in_range) return std::nullopt;
  if (low.value >= 0 && high.value >= 0 && low.value <= high.value) return RegressionInterval{low.value, high.value};
  return std::nullopt;
}

namespace {

// Asks for a state of variable v by its whole name until one is given.
int ask_state(Console& console, const DataSet& data, int v, const char* prompt) {
  const std::vector<std::string>& states = data.state_names[v];
  while (true) {
    console.print("%s", prompt);
    const std::string answer = console.read_line();
    if (console.input_ended())
      stop_without_answer(console, "Stopped: input ended before a class name was given.");
    if (const int s = find_state(data, v, answer); s != 0) return s;
    console.print("\n\"%s\" is not recognized as a class name; it must be one of the following name:\n",
                  answer.c_str());
    for (int s = 1; s <= data.var_kind[v]; ++s) console.print("  %s", states[static_cast<std::size_t>(s)].c_str());
  }
}

// The menu of pair selections, answered 1 to 4.
PairSelection pair_selection(int answer) {
  switch (answer) {
    case 1: return PairSelection::kSameState;
    case 2: return PairSelection::kDistinctStates;
    case 3: return PairSelection::kOneState;
    default: return PairSelection::kTwoStates;
  }
}

// Asks for the pair selection until the answer is 1, 2, 3 or 4.
int ask_pair_selection(Console& console) {
  while (true) {
    console.print("\nDo you want to select pairs of\n  1-same class\n  2-distinct classes\n  3-the same given class\n  "
                  "4-two given distinct classes\n");
    const ScannedInt mode = scan_int(console.read_line());
    if (console.input_ended())
      stop_without_answer(console, "Stopped: input ended before the kind of sample pairs (1 to 4) was given.");
    if (mode.found && mode.value >= 1 && mode.value <= 4) return static_cast<int>(mode.value);
    console.print("\nAnswer 1, 2, 3 or 4.");
  }
}

PairFilter ask_pair_filter(Console& console, const DataSet& data) {
  PairFilter filter;
  console.print("\n\nTo select specific sample pairs according to a qualitative variable, \nenter the name of the "
                "variable, otherwise press RETURN\n");
  while (true) {
    const std::string answer = console.read_line();
    const std::string_view word = first_word(answer);
    if (word.empty()) {
      filter.selection = PairSelection::kAllPairs;
      return filter;
    }
    filter.variable = find_qualitative_variable(data, word);
    if (filter.variable != 0) break;
    console.print("\nVariable not recognized. List of qualitative variables: ");
    for (int v = 1; v <= data.n_variables; ++v)
      if (data.is_qualitative(v)) console.print("  %s", data.var_names[v].c_str());
    console.print("\n");
  }

  const int answer = ask_pair_selection(console);
  filter.selection = pair_selection(answer);
  if (answer >= 3)
    filter.first_state = ask_state(console, data, filter.variable,
                                   answer == 3 ? "\nEnter the name of the selected class : "
                                               : "\nEnter the name of the first selected class : ");
  if (answer == 4) {
    // Two given distinct classes: the second cannot be the first.
    while (true) {
      filter.second_state =
          ask_state(console, data, filter.variable, "\nEnter the name of the second selected class : ");
      if (filter.second_state != filter.first_state) break;
      console.print("\nThe second class must differ from the first, \"%s\".",
                    data.state_names[filter.variable][static_cast<std::size_t>(filter.first_state)].c_str());
    }
  }
  return filter;
}

// Asked again until read_regression_interval takes the answer.
RegressionInterval ask_regression_interval(Console& console) {
  while (true) {
    console.print("\n\nTo restrict the regression of Iij on distance to a distance interval\nenter the min and max "
                  "distances separated by a space, otherwise press RETURN\n");
    const std::optional<RegressionInterval> interval = read_regression_interval(console.read_line());
    if (interval) return *interval;
  }
}

// The classes of --classes in place of those of the data file, once per run.
void choose_classes(Session& session, int n_workers) {
  const ClassRule rule = *session.class_rule;
  session.class_rule.reset();
  DistanceClasses chosen;
  {
    Progress progress(session.console);
    chosen = choose_distance_classes(session.allocator, session.data, rule, session.distance_range.largest, n_workers,
                                     progress);
  }
  session.console.print("\nNote: the %i distance classes come from %s, not from line 3 of the data file", chosen.n_classes,
                        session.class_rule_option.c_str());
  if (rule.kind != ClassRuleKind::kSturges && chosen.n_classes < rule.n_classes)
    session.console.print(" (%i asked for: tied distances share a bound)", rule.n_classes);
  session.console.print(".");
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
    console.print("\nNote: after Holm's correction no class of a correlogram of %i classes can reach P <= 0.05 with %i "
                  "randomizations; that needs %s.",
                  n_classes, n_rep, enough.c_str());
    return;
  }
  const int first = first_class_beyond_reach(n_classes, n_rep);
  if (first > n_classes) return;
  console.print("\nNote: under the progressive correction class %i%s of the correlogram cannot reach P <= 0.05 with %i "
                "randomizations; all %i classes need %s.",
                first, first < n_classes ? format(" to %i", n_classes).c_str() : "", n_rep, n_classes,
                enough.c_str());
}

// The analytical tests of the observed values, their section (and the
// corrections, when asked for) and their rows of the table.
void run_analytical_tests(Session& session, const SpatialChoices& choices, const MoranSetup& setup,
                          const MoranResults& observed, int n_workers) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const Allocator& allocator = session.allocator;
  const std::string qualitative = data.qualitative_names();
  if (!qualitative.empty())
    console.print("\nNote: the analytical tests concern the quantitative variables; the qualitative ones (%s) are "
                  "tested by randomization only.",
                  qualitative.c_str() + 1);
  console.print("\nComputing the analytical tests of Moran's I");
  const MoranAnalytical tests = moran_analytical_tests(setup, data, observed, n_workers);
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
    add_moran_analytical_rows(session.table_rows, data, data.classes, observed, tests, normality, randomization);
}

}  // namespace

SpatialChoices ask_spatial_choices(Console& console, const DataSet& data, int randomization_ceiling) {
  SpatialChoices choices;
  console.print("\n\n\n\nSPATIAL AUTOCORRELATION ANALYSES");
  choices.filter = ask_pair_filter(console, data);
  choices.interval = ask_regression_interval(console);
  console.print("\n\nEnter # randomizations for testing spatial autocorrelation (e.g. 999)");
  if (data.n_grids != 0)
    console.print("\n  use negative # (e.g. -999) to assess the impact of toroidal randomizations");
  console.print("\n  or press RETURN to compute Moran's I statistics without test\n");
  choices.count = read_randomization_count(console.read_line(), randomization_ceiling);
  console.write(choices.count.note);
  choices.detailed_report = choices.count.n_rep > 0 && ask_detailed_report(console);
  return choices;
}

void run_spatial_autocorrelation(Session& session, const SpatialChoices& choices) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const DistanceClasses& classes = data.classes;
  const Allocator& allocator = session.allocator;
  const int n_rep = choices.count.n_rep;
  const bool toroidal_too = choices.count.both_kinds && data.n_grids != 0;
  if (n_rep < 0) return;

  if (session.class_rule) choose_classes(session, worker_count(session.settings));
  console.print("\nComputing Moran's I statistics");
  const int n_workers = replicate_workers(console, session.settings);
  const VectorPath path = vector_path(console, session.settings);
  // The pair table pays only when the randomizations look pairs up again.
  const std::size_t table_limit = n_rep > 0 ? PairGeometry::default_table_limit(allocator.budget()) : 0;
  std::optional<MoranSetup> made;
  {
    Progress progress(console);
    made.emplace(allocator, data, classes, choices.filter, choices.interval, table_limit, path, n_workers, &progress);
  }
  const MoranSetup& setup = *made;
  if (const long long at_zero = setup.regression_pairs_at_distance_zero(); at_zero > 0)
    console.print("\nNote: pairs of samples at distance 0 enter the regression (%lld of them): the slope on "
                  "ln(distance) is not a number for each variable they have.", at_zero);
  MoranResults observed = make_moran_results(allocator, data.n_variables, classes.n_classes);
  {
    MoranScratch scratch(setup);
    moran_statistics(setup, session.identity_permutation, scratch, observed);
  }
  session.files.append_results(session.results_file_name, [&](OutputFile& out) {
    write_moran_observed(out, data, classes, observed, choices.filter, choices.interval);
  });
  if (session.tabulate) add_moran_observed_rows(session.table_rows, data, classes, observed);
  // The other processes of a run only evaluate replicates.
  if (choices.analytical && session.files.writes()) run_analytical_tests(session, choices, setup, observed, n_workers);
  if (n_rep == 0) return;
  note_correction_reach(console, choices.adjust, classes.n_classes, n_rep);

  MoranSeries series = noting_allocation_failure(
      format("\nNote: the values of %i randomizations of %i variables in %i distance classes need more memory than "
             "this machine has; ask for fewer randomizations (or analyse fewer variables or classes).",
             n_rep, data.n_variables, classes.n_classes),
      [&] { return make_moran_series(allocator, n_rep, data.n_variables, classes.n_classes); });
  auto run_test = [&](Randomization randomization, const DrawPermutation& draw) {
    run_interruptible_series(console, session.files, session.results_file_name, randomization, n_rep, [&] {
      run_moran_series(console, session.group, setup, n_rep, n_workers, session.work_permutation, draw, observed,
                       series);
    });
    if (!session.files.writes()) return;  // the other processes of a run only evaluate replicates
    const CorrelogramCorrection correction = correct_correlograms(
        allocator, class_p_values(allocator, series.stats, data.n_variables, classes.n_classes), choices.adjust);
    session.files.append_results(session.results_file_name, [&](OutputFile& out) {
      write_moran_tests(out, randomization, n_rep, data, classes.n_classes, observed.class_mean_distance,
                        series.stats, choices.detailed_report);
      if (choices.adjust != PAdjustment::kNone)
        write_moran_correction(out, choices.adjust,
                               format("%s randomization test (%i replicates)", randomization_name(randomization), n_rep),
                               n_rep, data, classes.n_classes, observed.class_mean_distance, correction);
    });
    if (session.tabulate)
      add_moran_test_rows(session.table_rows, randomization, n_rep, data, classes, observed, series.stats,
                          correction);
  };

  console.print("\n\nTest spatial autocorrelation by %i complete randomizations\n", n_rep);
  run_test(Randomization::kComplete,
           [&](Permutation& perm) { complete_permutation(data.n_samples, perm, session.rng); });
  if (!toroidal_too) return;
  note_toroidal_placements(console, session, n_rep);
  console.print("\nTest spatial autocorrelation by %i toroidal randomizations\n", n_rep);
  run_test(Randomization::kToroidal,
           [&](Permutation& perm) { toroidal_permutation(session.grid, data.n_grids, perm, session.rng); });
}

void run_spatial_autocorrelation(Session& session) {
  const int ceiling = session.settings.randomization_ceiling;
  run_spatial_autocorrelation(session, ask_spatial_choices(session.console, session.data, ceiling));
}

}  // namespace kalveno
