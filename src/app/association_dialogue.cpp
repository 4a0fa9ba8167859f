#include "app/association_dialogue.h"

#include "app/results_file.h"
#include "app/session.h"
#include "association/association_report.h"
#include "association/association_series.h"
#include "association/association_table.h"
#include "association/coefficients.h"
#include "base/console.h"
#include "base/text.h"

namespace kalveno {

AssociationChoices ask_association_choices(Console& console, const DataSet& data, int randomization_ceiling) {
  if (data.n_grids >= 1)
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
  AssociationChoices choices;
  choices.count = read_randomization_count(console.read_line(), randomization_ceiling);
  console.write(choices.count.note);
  choices.detailed_report = choices.count.n_rep > 0 && ask_detailed_report(console);
  return choices;
}

void run_association(Session& session, const AssociationChoices& choices) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const Allocator& allocator = session.allocator;
  const bool has_grids = data.n_grids >= 1;
  const int n_rep = choices.count.n_rep;
  // Without grids the complete test is the only one there is.
  const bool complete_test = choices.count.both_kinds || !has_grids;
  if (n_rep < 0) return;

  console.print("\n\nCompute correlation between variables");
  const int n_workers = replicate_workers(console, session.settings);
  const int v_count = data.n_variables;
  StateMeans state_means;
  RangedMatrix<double> observed;
  AssociationInput input;
  const VectorPath path = vector_path(console, session.settings);
  noting_allocation_failure(
      format("\nNote: the tables of coefficients between %i variables need more memory than this machine has; "
             "analyse fewer variables at a time.", v_count),
      [&] {
        state_means = make_state_means(allocator, v_count, data.var_kind);
        observed = allocator.double_matrix(1, v_count, 1, v_count);
        input = prepare_association_input(allocator, v_count, data.var_kind, data.n_samples, data.values, path);
        association_coefficients(allocator, input, session.identity_permutation, observed, &state_means, n_workers);
      });
  session.files.append_results(session.results_file_name,
                               [&](OutputFile& out) { write_association_observed(out, data, observed, state_means); });
  if (session.tabulate) add_association_observed_rows(session.table_rows, data, observed, state_means);
  if (n_rep == 0) return;

  AssociationSeries series = noting_allocation_failure(
      format("\nNote: the values of %i randomizations of the coefficients between %i variables need more memory "
             "than this machine has; ask for fewer randomizations (or analyse fewer variables).", n_rep, v_count),
      [&] { return make_association_series(allocator, n_rep, v_count); });
  auto run_test = [&](Randomization randomization, const DrawPermutation& draw) {
    run_interruptible_series(console, session.files, session.results_file_name, randomization, n_rep, [&] {
      run_association_series(console, session.group, allocator, input, n_rep, n_workers, session.work_permutation,
                             draw, observed, series);
    });
    if (!session.files.writes()) return;  // the other processes of a run only evaluate replicates
    session.files.append_results(session.results_file_name, [&](OutputFile& out) {
      write_association_tests(out, randomization, n_rep, data, series.stats, choices.detailed_report);
    });
    if (session.tabulate) add_association_test_rows(session.table_rows, randomization, n_rep, data, series.stats);
  };

  // The toroidal series comes first.
  if (has_grids) {
    note_toroidal_placements(console, session, n_rep);
    console.print("\n\nTest correlation between variables by %i toroidal randomizations\n", n_rep);
    run_test(Randomization::kToroidal,
             [&](Permutation& perm) { toroidal_permutation(session.grid, data.n_grids, perm, session.rng); });
  }
  if (complete_test) {
    console.print("\n\nTest correlation between variables by %i complete randomizations\n", n_rep);
    run_test(Randomization::kComplete,
             [&](Permutation& perm) { complete_permutation(data.n_samples, perm, session.rng); });
  }
}

void run_association(Session& session) {
  run_association(session,
                  ask_association_choices(session.console, session.data, session.settings.randomization_ceiling));
}

}  // namespace kalveno
