#include "spatial/moran_table.h"

#include <tuple>
#include <utility>

namespace kalveno {

namespace {

// Columns -2 and -1 of the Moran matrix.
const char* statistic_name(int c) {
  return c == -2 ? "slope_distance" : c == -1 ? "slope_log_distance" : "moran_i";
}

// The variable's statistics in the order of the results file: classes 1..C,
// then the two slopes.
template <class AddRow>
void for_each_statistic(int n_classes, AddRow add_row) {
  for (int c = 1; c <= n_classes; ++c) add_row(c);
  add_row(-2);
  add_row(-1);
}

// -1/(n - 1), n the samples that have variable k.
double expectation_of(const DataSet& data, int k) {
  int n = 0;
  for (int s = 1; s <= data.n_samples; ++s) n += data.values(k, s) != MISSING_VALUE;
  return -1.0 / (n - 1);
}

// What turns a class value into Moran's I: E(I) for a quantitative variable,
// 0 for a qualitative one's score.
double shift_to_moran(const DataSet& data, int k) { return data.is_qualitative(k) ? 0 : expectation_of(data, k); }

StatisticRow row_of(const char* test, const DataSet& data, const DistanceClasses& classes,
                    const MoranResults& observed, const ClassWeights& variable_pairs, int k, int c) {
  StatisticRow row;
  row.analysis = "spatial";
  row.test = test;
  row.statistic = statistic_name(c);
  row.variable = data.var_names[k];
  if (c >= 1) {
    row.distance_class = c;
    row.class_upper_bound = classes.class_max[c];
    row.class_mean_distance = observed.class_mean_distance[c];
    row.class_pairs = observed.class_pair_count[c];
    row.variable_pairs = variable_pairs.pairs(k, c);
    row.shows_expected = true;
    row.expected = expectation_of(data, k);
  }
  return row;
}

// The row of variable k's correlogram as a whole under a test.
StatisticRow correlogram_row(const char* test, const DataSet& data, int k, int n_rep, float p, const char* code) {
  StatisticRow row;
  row.analysis = "spatial";
  row.test = test;
  row.statistic = "correlogram";
  row.variable = data.var_names[k];
  row.correlogram = true;
  row.summary.n_rep = n_rep;
  row.summary.p_two_sided = p;
  row.significance = code_field(code);
  return row;
}

// The values of a summary moved by shift (its P values and counts stay).
void shift_summary(ResampleSummary& s, double shift) {
  for (float* value : {&s.obs, &s.mean, &s.ci95_inf, &s.ci95_sup, &s.ci99_inf, &s.ci99_sup})
    *value = static_cast<float>(*value + shift);
}

}  // namespace

void add_moran_observed_rows(std::vector<StatisticRow>& rows, const DataSet& data, const DistanceClasses& classes,
                             const MoranResults& observed, const ClassWeights& variable_pairs) {
  for (int k = 1; k <= data.n_variables; ++k) {
    const double shift = shift_to_moran(data, k);
    for_each_statistic(classes.n_classes, [&](int c) {
      StatisticRow row = row_of("observed", data, classes, observed, variable_pairs, k, c);
      row.observed = observed.moran_matrix(k, c) + (c >= 1 ? shift : 0);
      rows.push_back(std::move(row));
    });
  }
}

void add_moran_test_rows(std::vector<StatisticRow>& rows, Randomization randomization, int n_rep,
                         const DataSet& data, const DistanceClasses& classes, const MoranResults& observed,
                         const ClassWeights& variable_pairs, const RangedMatrix<ResampleSummary>& moran_stats,
                         const CorrelogramCorrection& correction) {
  const char* test = randomization == Randomization::kComplete ? "complete" : "toroidal";
  for (int k = 1; k <= data.n_variables; ++k) {
    const double shift = shift_to_moran(data, k);
    for_each_statistic(classes.n_classes, [&](int c) {
      StatisticRow row = row_of(test, data, classes, observed, variable_pairs, k, c);
      row.tested = true;
      row.summary = moran_stats(k, c);
      if (c >= 1) shift_summary(row.summary, shift);
      const float p = c >= 1 ? row.summary.p_two_sided : row.summary.p_less;
      row.significance = code_field(significance_code(p, row.summary.n_rep));
      if (c >= 1) row.p_adjusted = correction.adjusted(k, c);
      rows.push_back(std::move(row));
      if (c == classes.n_classes) {
        const float whole = correction.whole[k];
        rows.push_back(correlogram_row(test, data, k, n_rep, whole, significance_code(whole, n_rep)));
      }
    });
  }
}

void add_moran_analytical_rows(std::vector<StatisticRow>& rows, const DataSet& data, const DistanceClasses& classes,
                               const MoranResults& observed, const ClassWeights& variable_pairs,
                               const MoranAnalytical& tests,
                               const CorrelogramCorrection& normality, const CorrelogramCorrection& randomization) {
  for (const auto& [test, results, correction] :
       {std::tuple{"normality", &tests.normality, &normality},
        std::tuple{"randomization", &tests.randomization, &randomization}}) {
    for (int k = 1; k <= data.n_variables; ++k) {
      if (data.is_qualitative(k)) continue;
      for (int c = 1; c <= classes.n_classes; ++c) {
        const AnalyticalTest& t = (*results)(k, c);
        StatisticRow row = row_of(test, data, classes, observed, variable_pairs, k, c);
        row.analytical = true;
        row.observed = t.moran_i;
        row.expected = t.expected;
        row.sd = t.sd;
        row.z = t.z;
        row.summary.p_less = t.p_less;
        row.summary.p_greater = t.p_greater;
        row.summary.p_two_sided = t.p_two_sided;
        row.significance = code_field(significance_code(t.p_two_sided));
        row.p_adjusted = correction->adjusted(k, c);
        rows.push_back(std::move(row));
      }
      const float whole = correction->whole[k];
      rows.push_back(correlogram_row(test, data, k, 0, whole, significance_code(whole)));
    }
  }
}

}  // namespace kalveno
