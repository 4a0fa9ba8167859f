#include "app/local_moran/local_moran_run.h"

#include <algorithm>

#include "app/results_file.h"
#include "app/session.h"
#include "base/console.h"
#include "base/text.h"
#include "local_moran/local_moran.h"
#include "local_moran/local_moran_report.h"
#include "local_moran/local_moran_table.h"

namespace kalveno {

namespace {

const OutputFileKind* const kLocalMoranFiles[] = {&kLocalMoranFile};

// The most samples a variable's test covers: those that have it.
long long tested_samples(const DataSet& data) {
  long long most = 0;
  for (int v = 1; v <= data.n_variables; ++v) {
    if (data.is_qualitative(v)) continue;
    long long present = 0;
    for (int i = 1; i <= data.n_samples; ++i) present += data.values(v, i) != MISSING_VALUE;
    most = std::max(most, present);
  }
  return most;
}

// What the console says before the values are computed: the variables left
// out, and a count of randomizations too small for any sample to be significant.
void note_before_computing(Console& console, const DataSet& data, int n_rep) {
  const std::string qualitative = data.qualitative_names();
  if (!qualitative.empty())
    console.print("\nNote: local Moran's I concerns the quantitative variables; the qualitative ones (%s) are left "
                  "out.",
                  qualitative.c_str() + 1);
  console.print("\nComputing local Moran's I");
  // The smallest two-sided P is 2 / (R + 1), and the adjustment never makes
  // a P smaller.
  if (n_rep > 0 && n_rep < 39) {
    console.print("\nNote: with %i randomizations no P can reach 0.05 (the smallest two-sided P is 2/%i): no "
                  "sample can be significant; 39 or more are needed.",
                  n_rep, n_rep + 1);
    return;
  }
  // Benjamini-Hochberg over m samples lets a sample through alone only when
  // its P is at most 0.05 / m; the smallest P, 2 / (R + 1), reaches that
  // only when R + 1 >= 2 m / 0.05.
  const long long m = tested_samples(data);
  const long long needed = 40 * m - 1;
  if (n_rep > 0 && n_rep < needed && m > 1)
    console.print("\nNote: with %i randomizations no single sample of %lli can reach the false-discovery threshold "
                  "(its smallest P, 2/%i, is above 0.05/%lli): only several together can be significant; %lli "
                  "randomizations let any one of them be.",
                  n_rep, m, n_rep + 1, m, needed);
}

// A variable with one value in every sample that has it has no local Moran's
// I; a quantitative one without any value is left out of the file.
void note_constant_variables(Console& console, const DataSet& data, const LocalMoranSetup& setup) {
  for (int v = 1; v <= data.n_variables; ++v)
    if (!data.is_qualitative(v) && std::find(setup.variables.begin(), setup.variables.end(), v) == setup.variables.end())
      console.print("\nNote: %s has no value in any sample: it is left out.", data.var_names[v].c_str());
  for (int q = 0; q < setup.n_variables(); ++q) {
    int present = 0;
    for (int i = 1; i <= data.n_samples; ++i) present += setup.has(i, q);
    if (present > 1 && setup.m2[static_cast<std::size_t>(q)] == 0)
      console.print("\nNote: %s has the same value in every sample that has it: its local Moran's I is not a "
                    "number.",
                    data.var_names[setup.variables[static_cast<std::size_t>(q)]].c_str());
  }
}

// The conditional randomization test of every sample, n_rep times each.
void run_local_test(Session& session, const LocalMoranSetup& setup, int n_rep, int n_workers,
                    LocalMoranResults& results) {
  const DataSet& data = session.data;
  if (n_rep > 0)
    session.console.print("\n\nTest local Moran's I by %i conditional randomizations of each sample\n", n_rep);
  run_interruptible(session.console, session.files, session.results_file_name, data.n_samples,
                    "samples of the conditional randomization test", [&] {
                      noting_allocation_failure(
                          format("\nNote: the values of %i randomizations of %i variables, kept for each of %i "
                                 "workers, need more memory than this machine has; ask for fewer randomizations or "
                                 "threads.",
                                 n_rep, setup.n_variables(), n_workers),
                          [&] {
                            run_local_moran_test(session.console, session.group, session.allocator, data, setup,
                                                 n_rep, session.seed, n_workers, results);
                          });
                    });
}

}  // namespace

const OutputFileKind kLocalMoranFile{&kLocalFileOption, "localmoran.txt", "the file of local Moran's I",
                                     "the local Moran's I", "the local Moran's I per sample"};

std::span<const OutputFileKind* const> local_moran_files() { return kLocalMoranFiles; }

void run_local_moran(Session& session, const LocalMoranChoices& choices) {
  Console& console = session.console;
  const DataSet& data = session.data;
  if (choices.n_rep > 0) tell_clock_seed(session);
  note_before_computing(console, data, choices.n_rep);
  const int n_workers = replicate_workers(console, session.settings);
  const LocalMoranSetup setup = noting_allocation_failure(
      format("\nNote: the neighbours of %i samples within distance %f need more memory than this machine has; "
             "choose a smaller radius.",
             data.n_samples, static_cast<double>(choices.radius)),
      [&] { return local_moran_setup(session.allocator, data, choices.radius, n_workers); });
  note_constant_variables(console, data, setup);
  LocalMoranResults results = local_moran_observed(session.allocator, data, setup, n_workers);
  run_local_test(session, setup, choices.n_rep, n_workers, results);
  if (!session.files.writes()) return;  // the other processes of a run only test samples

  session.files.replace(kLocalMoranFile, choices.values_file, [&](OutputFile& out) {
    write_local_moran_values(out, data, setup, results, session.data_file_name);
  });
  session.written.push_back({&kLocalMoranFile, choices.values_file});
  session.files.append_results(session.results_file_name, [&](OutputFile& out) {
    write_local_moran_section(out, data, setup, results, choices.values_file);
  });
  if (session.tabulate) add_local_moran_rows(session.table_rows, data, setup, results);
}

}  // namespace kalveno
