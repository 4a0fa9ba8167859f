#include "app/association_dialogue.h"

#include <algorithm>
#include <vector>

#include "association/association_report.h"
#include "association/coefficients.h"
#include "base/console.h"
#include "app/menu.h"
#include "app/session.h"
#include "base/allocation.h"
#include "numeric/resample_summary.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

AssociationSeries make_association_series(int n_rep, int n_variables) {
  AssociationSeries series;
  series.stats = resample_stat_type_matrix(0, n_variables, 0, n_variables);
  series.replicates = f3tensor<float>(0, n_rep, 0, n_variables, 0, n_variables);
  return series;
}

void run_association_series(Console& console, const AssociationInput& input, int n_rep, int n_workers,
                            Permutation& work, const std::function<void(Permutation&)>& draw,
                            const RangedMatrix<double>& observed, AssociationSeries& series) {
  const int v_count = input.n_variables;
  n_workers = std::max(1, std::min(n_workers, n_rep));
  // Scratch and a result matrix per worker: a worker has one replicate in
  // hand at a time, and its coefficients go to their slice as floats.
  std::vector<AssociationScratch> scratch;
  std::vector<RangedMatrix<double>> result;
  for (int w = 0; w < n_workers; ++w) {
    scratch.emplace_back(input);
    result.push_back(matrix(1, v_count, 1, v_count));
  }
  RangedCube<float>& replicates = series.replicates;

  ReplicateSteps steps;
  steps.draw = draw;
  steps.evaluate = [&](int worker, int r, const Permutation& perm) {
    RangedMatrix<double>& m = result[static_cast<std::size_t>(worker)];
    association_coefficients(input, perm, scratch[static_cast<std::size_t>(worker)], m, nullptr);
    for (int j = 1; j <= v_count; ++j)
      for (int k = 1; k <= v_count; ++k) replicates(r, j, k) = static_cast<float>(m(j, k));
  };
  steps.done = [&](int r) { show_progress(console, r, n_rep); };
  run_replicates(n_rep, n_workers, work, steps);

  summarise_replicates(replicates, n_rep, observed, series.stats, n_workers);
}

void run_association(Session& session) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const bool has_grids = data.n_grids >= 1;

  if (has_grids)
    console.print("\n\n\n\nCORRELATION BETWEEN VARIABLES TESTED BY TORUS-TRANSLATIONS\n\nEnter # randomizations for "
                  "testing correlation between variables (e.g. 999)\n  use negative number for both toroidal and "
                  "complete randomization tests\n  or press RETURN to compute association coefficients without "
                  "test\n");
  else
    console.print("\n\n\n\nCORRELATION BETWEEN VARIABLES TESTED BY COMPLETE RANDOMIZATIONS\n\nEnter # "
                  "randomizations for testing correlation between variables (e.g. 999)\n  or press RETURN to "
                  "compute correlation coefficients without test\n\n  WARNING: no grid(s) defined for sample "
                  "positions\n    -> toroidal randomization tests not available\n    -> complete randomization "
                  "tests between spatially autocorrelated variables\n       should be liberal (i.e., excess of "
                  "statistically significant tests)\n");
  const RandomizationCount count = read_randomization_count(console.read_line());
  const int n_rep = count.n_rep;
  // Without grids the complete test is the only one there is.
  const bool complete_test = count.both_kinds || !has_grids;
  const bool detailed_report = n_rep > 0 && ask_detailed_report(console);
  if (n_rep < 0) return;

  console.print("\n\nCompute correlation between variables");
  const int v_count = data.n_variables;
  StateMeans state_means = make_state_means(v_count, data.var_kind);
  RangedMatrix<double> observed = matrix(1, v_count, 1, v_count);
  const AssociationInput input = prepare_association_input(v_count, data.var_kind, data.n_samples, data.values);
  {
    AssociationScratch scratch(input);
    association_coefficients(input, session.identity_permutation, scratch, observed, &state_means);
  }
  write_association_observed(console, session.results_file_name, data, observed, state_means);
  if (n_rep == 0) return;

  AssociationSeries series = make_association_series(n_rep, v_count);
  const int n_workers = replicate_workers(console);

  // The toroidal series comes first. Its permutations rewrite only the
  // entries of samples that sit on a torus; the others keep what
  // work_permutation held, the identity from start-up.
  if (has_grids) {
    console.print("\n\nTest correlation between variables by %i toroidal randomizations\n", n_rep);
    auto draw = [&](Permutation& perm) { toroidal_permutation(session.grid, data.n_grids, perm, session.rng); };
    run_association_series(console, input, n_rep, n_workers, session.work_permutation, draw, observed, series);
    write_association_tests(console, session.results_file_name, "WITHIN GROUP TOROIDAL", n_rep, data, series.stats,
                            detailed_report);
  }
  if (complete_test) {
    console.print("\n\nTest correlation between variables by %i complete randomizations\n", n_rep);
    auto draw = [&](Permutation& perm) { complete_permutation(data.n_samples, perm, session.rng); };
    run_association_series(console, input, n_rep, n_workers, session.work_permutation, draw, observed, series);
    write_association_tests(console, session.results_file_name, "COMPLETE", n_rep, data, series.stats,
                            detailed_report);
  }
}

}  // namespace kalveno
