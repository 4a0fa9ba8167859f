#include "numeric/statistics_table.h"

#include <cmath>

#include "base/csv.h"

namespace kalveno {

const std::vector<std::string>& statistics_table_columns() {
  static const std::vector<std::string> columns = {
      "analysis",    "test",       "statistic", "variable",  "variable2",   "state",
      "class",       "class_upper_bound",       "class_mean_distance",      "class_pairs",
      "observed",    "replicates", "mean",      "sd",        "lower_95",    "upper_95",
      "p_less",      "p_greater",  "p_two_sided",            "significance",
      "p_adjusted",  "expected",   "z",         "sample",    "variable_pairs"};
  return columns;
}

void write_statistics_table(OutputFile& out, const std::vector<StatisticRow>& rows) {
  out.write(csv_record(statistics_table_columns()));
  std::vector<std::string> fields;
  for (const StatisticRow& row : rows) {
    fields = {row.analysis, row.test, row.statistic, row.variable, row.variable2, row.state};
    if (row.distance_class > 0) {
      // A class bound is read in single precision and held as a double:
      // written as the float it is (98.9949, not 98.99490356445312).
      fields.insert(fields.end(), {std::to_string(row.distance_class),
                                   csv_number(static_cast<float>(row.class_upper_bound)),
                                   csv_number(row.class_mean_distance), std::to_string(row.class_pairs)});
    } else {
      fields.insert(fields.end(), 4, "");
    }
    const ResampleSummary& s = row.summary;
    if (row.correlogram) {
      fields.insert(fields.end(), {"", s.n_rep > 0 ? std::to_string(s.n_rep) : "", "", "", "", "", "", "",
                                   csv_number(s.p_two_sided), std::isnan(s.p_two_sided) ? "" : row.significance});
      fields.insert(fields.end(), 3, "");
    } else if (row.analytical) {
      const bool compared = !std::isnan(s.p_two_sided);
      fields.insert(fields.end(), {csv_number(row.observed), "", "", csv_number(row.sd), "", "",
                                   csv_number(s.p_less), csv_number(s.p_greater), csv_number(s.p_two_sided),
                                   compared ? row.significance : "", csv_number(row.p_adjusted),
                                   csv_number(row.expected), csv_number(row.z)});
    } else if (!row.tested) {
      fields.push_back(csv_number(row.observed));
      fields.insert(fields.end(), 8, "");
      // An untested row's code, when it has one, says why it was not tested.
      fields.push_back(row.significance);
      fields.insert(fields.end(), {"", row.shows_expected ? csv_number(row.expected) : "", ""});
    } else {
      const bool bounds = s.n_rep >= 40;
      const bool compared = kalveno::compared(s);
      fields.insert(fields.end(), {csv_number(s.obs), std::to_string(s.n_rep), csv_number(s.mean),
                                   csv_number(s.sd), bounds ? csv_number(s.ci95_inf) : "",
                                   bounds ? csv_number(s.ci95_sup) : "", compared ? csv_number(s.p_less) : "",
                                   compared ? csv_number(s.p_greater) : "", compared ? csv_number(s.p_two_sided) : "",
                                   compared ? row.significance : "", compared ? csv_number(row.p_adjusted) : "",
                                   row.shows_expected ? csv_number(row.expected) : "", ""});
    }
    fields.push_back(row.sample);
    fields.push_back(row.variable_pairs >= 0 ? std::to_string(row.variable_pairs) : "");
    out.write(csv_record(fields));
  }
}

}  // namespace kalveno
