#include "spatial/moran_run.h"

#include <cstdlib>
#include <string>
#include <vector>

#include "flow/console.h"
#include "flow/menu.h"
#include "flow/program_end.h"
#include "flow/session.h"
#include "flow/text.h"
#include "numeric/allocation.h"
#include "numeric/resample_summary.h"
#include "randomization/replicate_runner.h"
#include "spatial/moran.h"
#include "spatial/moran_report.h"

namespace kalveno {

namespace {

// The qualitative variable named exactly word, or 0.
int find_qualitative_variable(const DataSet& data, std::string_view word) {
  for (int v = 1; v <= data.n_variables; ++v)
    if (data.is_qualitative(v) && data.var_names[v] == word) return v;
  return 0;
}

// Asks for a state of variable v by its whole name until one is given.
int ask_state(Console& console, const DataSet& data, int v, const char* prompt) {
  const std::vector<std::string>& states = data.state_names[v];
  while (true) {
    console.print("%s", prompt);
    const std::string answer = console.read_line();
    if (console.input_ended())
      stop_without_answer(console, "Stopped: input ended before a class name was given.");
    for (int s = 1; s <= data.var_kind[v]; ++s)
      if (states[static_cast<std::size_t>(s)] == answer) return s;
    console.print("\n\"%s\" is not recognized as a class name; it must be one of the following name:\n",
                  answer.c_str());
    for (int s = 1; s <= data.var_kind[v]; ++s) console.print("  %s", states[static_cast<std::size_t>(s)].c_str());
  }
}

PairFilter ask_pair_filter(Console& console, const DataSet& data) {
  PairFilter filter;
  filter.mode = -1;
  console.print("\n\nTo select specific sample pairs according to a qualitative variable, \nenter the name of the "
                "variable, otherwise press RETURN\n");
  while (true) {
    const std::string answer = console.read_line();
    const std::string_view word = first_word(answer);
    if (word.empty()) {
      filter.mode = 0;
      return filter;
    }
    filter.variable = find_qualitative_variable(data, word);
    if (filter.variable != 0) break;
    console.print("\nVariable not recognized. List of qualitative variables: ");
    for (int v = 1; v <= data.n_variables; ++v)
      if (data.is_qualitative(v)) console.print("  %s", data.var_names[v].c_str());
    console.print("\n");
  }

  console.print("\nDo you want to select pairs of\n  1-same class\n  2-distinct classes\n  3-the same given class\n  "
                "4-two given distinct classes\n");
  const ScannedInt mode = scan_int(console.read_line());
  if (mode.found) filter.mode = static_cast<int>(mode.value);  // clamped to the int range
  if (filter.mode >= 3)
    filter.first_class = ask_state(console, data, filter.variable,
                                   filter.mode == 3 ? "\nEnter the name of the selected class : "
                                                    : "\nEnter the name of the first selected class : ");
  if (filter.mode == 4)
    filter.second_class = ask_state(console, data, filter.variable, "\nEnter the name of the second selected class : ");
  return filter;
}

// Two numbers, neither negative, the first not above the second; an empty
// answer leaves the regression unrestricted. Anything else is asked again.
RegressionInterval ask_regression_interval(Console& console) {
  while (true) {
    console.print("\n\nTo restrict the regression of Iij on distance to a distance interval\nenter the min and max "
                  "distances separated by a space, otherwise press RETURN\n");
    const std::string answer = console.read_line();
    if (is_blank(answer)) return RegressionInterval{};
    const ScannedFloat low = scan_float(answer);
    if (!low.found || !low.in_range) continue;
    const ScannedFloat high = scan_float(std::string_view(answer).substr(low.end));
    if (!high.found || !high.in_range) continue;
    if (low.value >= 0 && high.value >= 0 && low.value <= high.value) return RegressionInterval{low.value, high.value};
  }
}

// KALVENO_VECTORS names the vector instructions of the Moran's I pair loop:
// avx512, avx2 or sse2. Unset, or naming instructions this processor lacks,
// the best it has are used. Every choice gives the same results.
VectorPath vector_path_from_environment(Console& console) {
  const char* wanted = std::getenv("KALVENO_VECTORS");
  const VectorPath best = best_vector_path();
  if (wanted == nullptr) return best;
  VectorPath path = best;
  if (!parse_vector_path(wanted, path)) {
    console.print("\nWarning: KALVENO_VECTORS=\"%s\" is not avx512, avx2 or sse2; %s is used.", wanted,
                  vector_path_name(best));
    return best;
  }
  if (!vector_path_supported(path)) {
    console.print("\nWarning: this processor lacks the %s instructions that KALVENO_VECTORS asks for; %s is used.",
                  wanted, vector_path_name(best));
    return best;
  }
  return path;
}

// The results of one worker's evaluations, and its working storage.
struct WorkerState {
  explicit WorkerState(const MoranSetup& setup)
      : scratch(setup), results(make_moran_results(setup.n_variables(), setup.n_classes())) {}
  MoranScratch scratch;
  MoranResults results;
};

// One randomization series: n_rep placements drawn by draw, each evaluated
// into its slice of replicates, then every statistic summarised against its
// observed value into stats.
template <class Draw>
void run_series(Session& session, const MoranSetup& setup, int n_rep, int n_workers, Draw draw,
                const MoranResults& observed, RangedCube<float>& replicates, RangedMatrix<resample_stat_type>& stats) {
  Console& console = session.console;
  const int n_variables = setup.n_variables(), last_column = setup.n_classes() + 1;
  std::vector<WorkerState> workers;
  workers.reserve(static_cast<std::size_t>(n_workers));
  for (int w = 0; w < n_workers; ++w) workers.emplace_back(setup);

  ReplicateSteps steps;
  steps.draw = draw;
  steps.evaluate = [&](int worker, int r, const Permutation& perm) {
    WorkerState& state = workers[static_cast<std::size_t>(worker)];
    moran_statistics(setup, perm, state.scratch, state.results);
    // Stored in single precision, as the summary uses them.
    for (int k = 1; k <= n_variables; ++k)
      for (int c = -2; c <= last_column; ++c) replicates(r, k, c) = static_cast<float>(state.results.moran_matrix(k, c));
  };
  steps.done = [&](int r) { show_progress(console, r, n_rep); };
  run_replicates(n_rep, n_workers, session.work_permutation, steps);

  summarise_replicates(replicates, n_rep, observed.moran_matrix, stats, n_workers);
}

}  // namespace

void run_spatial_autocorrelation(Session& session) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const DistanceClasses& classes = data.classes;

  console.print("\n\n\n\nSPATIAL AUTOCORRELATION ANALYSES");
  const PairFilter filter = ask_pair_filter(console, data);
  const RegressionInterval interval = ask_regression_interval(console);
  console.print("\n\nEnter # randomizations for testing spatial autocorrelation (e.g. 999)");
  if (data.n_grids != 0) console.print("\n  use negative # (e.g. -999) to assess the impact of toroidal randomizations");
  console.print("\n  or press RETURN to compute Moran's I statistics without test\n");
  const RandomizationCount count = read_randomization_count(console.read_line());
  const int n_rep = count.n_rep;
  const bool toroidal_too = count.both_kinds && data.n_grids != 0;
  const bool detailed_report = n_rep > 0 && ask_detailed_report(console);
  if (n_rep < 0) return;

  console.print("\nComputing Moran's I statistics");
  const int n_workers = n_rep > 0 ? replicate_workers(console) : 1;
  const VectorPath path = vector_path_from_environment(console);
  // The pair table pays only when the randomizations look pairs up again.
  const MoranSetup setup(data, classes, filter, interval, n_rep > 0 ? PairGeometry::default_table_limit() : 0, path,
                         n_workers);
  MoranResults observed = make_moran_results(data.n_variables, classes.n_classes);
  {
    MoranScratch scratch(setup);
    moran_statistics(setup, session.identity_permutation, scratch, observed);
  }
  write_moran_observed(console, session.results_file_name, data, classes, observed, filter, interval);
  if (n_rep == 0) return;

  RangedCube<float> replicates = f3tensor<float>(0, n_rep, 0, data.n_variables, -2, classes.n_classes + 1);
  RangedMatrix<resample_stat_type> stats = resample_stat_type_matrix(0, data.n_variables, -2, classes.n_classes + 1);
  const int n_samples = data.n_samples;
  Random& rng = session.rng;

  console.print("\n\nTest spatial autocorrelation by %i complete randomizations\n", n_rep);
  run_series(session, setup, n_rep, n_workers,
             [&](Permutation& perm) { complete_permutation(n_samples, perm, rng); }, observed, replicates, stats);
  write_moran_tests(console, session.results_file_name, "COMPLETE", n_rep, data, classes.n_classes,
                    observed.class_mean_distance, stats, detailed_report);

  if (!toroidal_too) return;
  console.print("\nTest spatial autocorrelation by %i toroidal randomizations\n", n_rep);
  const SampleGrid& grid = session.grid;
  const int n_grids = data.n_grids;
  run_series(session, setup, n_rep, n_workers,
             [&](Permutation& perm) { toroidal_permutation(grid, n_grids, perm, rng); }, observed, replicates, stats);
  write_moran_tests(console, session.results_file_name, "WITHIN GROUP TOROIDAL", n_rep, data, classes.n_classes,
                    observed.class_mean_distance, stats, detailed_report);
}

}  // namespace kalveno
