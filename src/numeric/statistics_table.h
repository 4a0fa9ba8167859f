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

// A number a row leaves empty.
inline constexpr float kNoValue = std::numeric_limits<float>::quiet_NaN();

struct StatisticRow {
  std::string analysis;   // "spatial" or "association"
  std::string test;       // "observed", "complete" or "toroidal"
  std::string statistic;  // e.g. "moran_i", "pearson_r"
  std::string variable, variable2, state;  // empty when they do not apply
  // The distance class of a Moran's I (1..C), 0 for none.
  int distance_class = 0;
  double class_upper_bound = 0, class_mean_distance = 0;
  int class_pairs = 0;
  double observed = 0;     // a row of observed values
  bool tested = false;     // a row of a test, summarised below
  ResampleSummary summary = {};
  std::string significance;  // the code the results file shows, without its leading blank
  float p_adjusted = kNoValue;  // the P adjusted over a family of tests
  std::string sample;           // the sample of a local statistic
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
// missing-value mark, is an empty field. The code of a row of observed
// values, when it has one, says why it was not tested.
void write_statistics_table(OutputFile& out, const std::vector<StatisticRow>& rows);

}  // namespace kalveno
