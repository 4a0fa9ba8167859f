// The tidy table of a run's statistics, for R, pandas or a spreadsheet: one
// row per statistic, the same numbers the results file shows, at the full
// precision the program holds them in. Rows of the observed values carry
// the statistic as computed (double precision); rows of a test carry the
// single-precision summary that the test compared, with its P values and
// significance code.
#pragma once
#include <limits>
#include <string>
#include <vector>

#include "base/files.h"
#include "numeric/resample_summary.h"

namespace kalveno {

struct StatisticRow {
  std::string analysis;   // "spatial", "association" or "local_moran"
  std::string test;       // "observed", "complete", "toroidal", "conditional", ...
  std::string statistic;  // e.g. "moran_i", "pearson_r"
  std::string variable, variable2, state;  // empty when they do not apply
  // The distance class of a Moran's I (1..C), 0 for none.
  int distance_class = 0;
  double class_upper_bound = 0;  // read in single precision, written as such
  double class_mean_distance = 0;
  int class_pairs = 0;
  double observed = 0;     // a row of observed values
  bool tested = false;     // a row of a randomization test, summarised below
  ResampleSummary summary = {};
  std::string significance;  // the code the results file shows, without its leading blank
  // A class of a tested correlogram: its P adjusted across the classes; a
  // local Moran's I: across the samples of its variable.
  float p_adjusted = std::numeric_limits<float>::quiet_NaN();
  // A row of an analytical test: the statistic in observed, its expectation,
  // the root of its variance and z, and the P values in summary; no
  // replicates.
  bool analytical = false;
  double expected = 0, sd = 0, z = 0;
  // The row of a correlogram as a whole: its P in summary.p_two_sided, and
  // the replicates of its test in summary.n_rep (0 for an analytical test).
  bool correlogram = false;
  // The sample of a local statistic.
  std::string sample;
  // A Moran's I of the observed data or of a test: its expectation -1/(n - 1)
  // in expected too (written where true).
  bool shows_expected = false;
  // The pairs of the class that the variable uses (both samples have it);
  // -1: not a class row, an empty field.
  long long variable_pairs = -1;
};

// A significance code as the results file prints it after a value (" **"),
// without its leading blank.
inline std::string code_field(const char* code) { return code[0] == ' ' ? code + 1 : code; }

// The names of the columns, in order.
const std::vector<std::string>& statistics_table_columns();

// The header record, then one record per row. A test row takes its observed
// value from its summary; its 95 % bounds are left empty below 40
// replicates, where none are computed, and its P values and code when the
// observed value is not a number. A value that is not a number, or the
// missing-value mark, is an empty field, and so is a column that does not
// apply to the row. The code of a row of observed values, when it has one,
// says why it was not tested.
void write_statistics_table(OutputFile& out, const std::vector<StatisticRow>& rows);

}  // namespace kalveno
