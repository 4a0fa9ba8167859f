#include "app/association/association_run.h"

#include "app/results_file.h"
#include "app/session.h"
#include "association/association_report.h"
#include "association/association_series.h"
#include "association/association_table.h"
#include "association/coefficients.h"
#include "base/console.h"
#include "base/text.h"

namespace kalveno {

namespace {

// What the observed pass leaves to the series: the coefficients as
// observed, the input the replicates recompute them from, and the workers.
struct AssociationPass {
  StateMeans state_means;
  RangedMatrix<double> observed;
  AssociationInput input;
  int n_workers = 1;
};

// The coefficients as observed, written to the results file and the table.
void run_observed_association(Session& session, AssociationPass& pass) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const Allocator& allocator = session.allocator;
  console.print("\n\nCompute correlation between variables");
  pass.n_workers = replicate_workers(console, session.settings);
  const int v_count = data.n_variables;
  const VectorPath path = vector_path(console, session.settings);
  noting_allocation_failure(
      format("\nNote: the tables of coefficients between %i variables need more memory than this machine has; "
             "analyse fewer variables at a time.", v_count),
      [&] {
        pass.state_means = make_state_means(allocator, v_count, data.var_kind);
        pass.observed = allocator.double_matrix(1, v_count, 1, v_count);
        pass.input = prepare_association_input(allocator, v_count, data.var_kind, data.n_samples, data.values, path);
        association_coefficients(allocator, pass.input, session.identity_permutation, pass.observed,
                                 &pass.state_means, pass.n_workers);
      });
  session.files.append_results(session.results_file_name, [&](OutputFile& out) {
    write_association_observed(out, data, pass.observed, pass.state_means);
  });
  if (session.tabulate) add_association_observed_rows(session.table_rows, data, pass.observed, pass.state_means);
}

// One randomization series: its replicates, then (by the process that
// writes) its section and its rows of the table.
void run_association_test(Session& session, const AssociationChoices& choices, AssociationPass& pass,
                AssociationSeries& series, Randomization randomization, const DrawPermutation& draw) {
  const DataSet& data = session.data;
  const int n_rep = choices.count.n_rep;
  run_interruptible(session.console, session.files, session.results_file_name, n_rep,
                    randomizations_counted(randomization), [&] {
                      run_association_series(session.console, session.group, session.allocator, pass.input, n_rep,
                                             pass.n_workers, session.work_permutation, draw, pass.observed, series);
                    });
  if (!session.files.writes()) return;  // the other processes of a run only evaluate replicates
  session.files.append_results(session.results_file_name, [&](OutputFile& out) {
    write_association_tests(out, randomization, n_rep, data, series.stats, choices.detailed_report);
  });
  if (session.tabulate) add_association_test_rows(session.table_rows, randomization, n_rep, data, series.stats);
}

}  // namespace

void run_association(Session& session, const AssociationChoices& choices) {
  Console& console = session.console;
  const DataSet& data = session.data;
  const bool has_grids = data.n_grids >= 1;
  const int n_rep = choices.count.n_rep;
  // Without grids the complete test is the only one there is.
  const bool complete_test = choices.count.both_kinds || !has_grids;
  if (n_rep < 0) return;

  AssociationPass pass;
  run_observed_association(session, pass);
  if (n_rep == 0) return;
  tell_clock_seed(session);
  AssociationSeries series = noting_allocation_failure(
      format("\nNote: the values of %i randomizations of the coefficients between %i variables need more memory "
             "than this machine has; ask for fewer randomizations (or analyse fewer variables).",
             n_rep, data.n_variables),
      [&] { return make_association_series(session.allocator, n_rep, data.n_variables); });
  // The toroidal series comes first.
  if (has_grids) {
    note_toroidal_placements(console, session, n_rep);
    console.print("\n\nTest correlation between variables by %i toroidal randomizations\n", n_rep);
    run_association_test(session, choices, pass, series, Randomization::kToroidal,
               [&](Permutation& perm) { toroidal_permutation(session.grid, data.n_grids, perm, session.rng); });
  }
  if (complete_test) {
    console.print("\n\nTest correlation between variables by %i complete randomizations\n", n_rep);
    run_association_test(session, choices, pass, series, Randomization::kComplete,
               [&](Permutation& perm) { complete_permutation(data.n_samples, perm, session.rng); });
  }
}

}  // namespace kalveno
