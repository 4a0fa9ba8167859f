#include "association/association_table.h"

#include <string_view>
#include <utility>

#include "association/association_report.h"

namespace kalveno {

namespace {

StatisticRow row_of(const char* test, const char* statistic, const DataSet& data, int j, int k) {
  StatisticRow row;
  row.analysis = "association";
  row.test = test;
  row.statistic = statistic;
  row.variable = data.var_names[j];
  row.variable2 = data.var_names[k];
  return row;
}

// Every ordered pair (j, k) of the matrices, in their order: Pearson's r,
// then chi-square (distinct variables only), then the intra-class r.
template <class AddRow>
void for_each_pair(const DataSet& data, AddRow add_row) {
  const std::vector<int> quantitative = quantitative_variables(data), qualitative = qualitative_variables(data);
  for (int j : quantitative)
    for (int k : quantitative)
      if (j != k) add_row("pearson_r", j, k);
  for (int j : qualitative)
    for (int k : qualitative)
      if (j != k) add_row("chi_square", j, k);
  for (int j : quantitative)
    for (int k : qualitative) add_row("intraclass_r", j, k);
}

}  // namespace

void add_association_observed_rows(std::vector<StatisticRow>& rows, const DataSet& data,
                                   const RangedMatrix<double>& association, const StateMeans& state_means) {
  for_each_pair(data, [&](const char* statistic, int j, int k) {
    StatisticRow row = row_of("observed", statistic, data, j, k);
    row.observed = association(j, k);
    rows.push_back(std::move(row));
  });
  for (int j : quantitative_variables(data)) {
    for (int k : qualitative_variables(data)) {
      const int n_states = data.var_kind[k];
      if (n_states < 2) continue;  // the results file shows no means for a single state
      for (int a = 1; a <= n_states; ++a) {
        StatisticRow row = row_of("observed", "state_mean", data, j, k);
        row.state = data.state_names[k][static_cast<std::size_t>(a)];
        row.observed = state_means[k](j, a);
        rows.push_back(std::move(row));
      }
    }
  }
}

void add_association_test_rows(std::vector<StatisticRow>& rows, Randomization randomization, int n_rep,
                               const DataSet& data, const RangedMatrix<ResampleSummary>& stats) {
  const char* test = randomization == Randomization::kComplete ? "complete" : "toroidal";
  for_each_pair(data, [&](const char* statistic, int j, int k) {
    StatisticRow row = row_of(test, statistic, data, j, k);
    row.tested = true;
    row.summary = stats(j, k);
    // Pearson's r is tested two-sided, the others one-sided ("greater").
    row.significance = std::string_view(statistic) == "pearson_r" ? signed_significance_code(row.summary, n_rep)
                                           : code_field(significance_code(row.summary.p_greater, n_rep));
    rows.push_back(std::move(row));
  });
}

}  // namespace kalveno
