#include "spatial/moran_report.h"

#include <cmath>
#include <string>

#include "base/results_headings.h"
#include "base/text.h"

namespace kalveno {

namespace {

void write_pair_set(OutputFile& out, const DataSet& data, const PairFilter& filter) {
  const int v = filter.variable;
  switch (filter.selection) {
    case PairSelection::kAllPairs:
      out.print("all sample pairs");
      break;
    case PairSelection::kSameState:
      out.print("samples with the same state at variable [%s]", data.var_names[v].c_str());
      break;
    case PairSelection::kDistinctStates:
      out.print("samples with distinct states at variable [%s]", data.var_names[v].c_str());
      break;
    case PairSelection::kOneState:
      out.print("samples with state [%s] at variable [%s]", data.state_names[v][filter.first_state].c_str(),
                data.var_names[v].c_str());
      break;
    case PairSelection::kTwoStates:
      out.print("samples with distinct states [%s] and [%s] at variable [%s]",
                data.state_names[v][filter.first_state].c_str(), data.state_names[v][filter.second_state].c_str(),
                data.var_names[v].c_str());
      break;
    case PairSelection::kUnnamedAll:
      break;
  }
}

// One line of the details table: a member of every class's summary, then of
// the two slopes'.
template <class Member>
void write_detail_line(OutputFile& out, const RangedMatrix<ResampleSummary>& stats, int k, int n_classes,
                       Member member) {
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", static_cast<double>(stats(k, c).*member));
  out.print("\t\t%.4g\t%.4g", static_cast<double>(stats(k, -2).*member), static_cast<double>(stats(k, -1).*member));
}

void write_mean_distances(OutputFile& out, int n_classes, const RangedVector<double>& class_mean_distance) {
  out.print("\n\t%s", headings::kClassMeanDistance);
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", class_mean_distance[c]);
}

const char* kCodingByCount =
    "*** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 replicates; * for P<=0.05 and >=99 replicates";
const char* kCodingByP = "*** for P<=0.001; ** for P<=0.01; * for P<=0.05";

// A note on the statistics that have a value in fewer than all n_rep
// replicates: a replicate whose selected pairs leave a class (or the
// regression) without a pair of the variable gives none there, and the
// summary is over the others.
void write_replicates_with_a_value(OutputFile& out, const DataSet& data, int n_classes, int n_rep,
                                   const RangedMatrix<ResampleSummary>& moran_stats) {
  std::string list;
  for (int k = 1; k <= data.n_variables; ++k) {
    std::string of_variable;
    auto add = [&](const std::string& statistic, int c) {
      const ResampleSummary& s = moran_stats(k, c);
      if (!std::isfinite(s.obs) || s.n_rep >= n_rep) return;
      of_variable += format("%s%s in %i", of_variable.empty() ? "" : ", ", statistic.c_str(), s.n_rep);
    };
    for (int c = 1; c <= n_classes; ++c) add(format("class %i", c), c);
    add("slope with dist", -2);
    add("slope with ln(dist)", -1);
    if (!of_variable.empty())
      list += format("%s[%s] %s", list.empty() ? "" : "; ", data.var_names[k].c_str(), of_variable.c_str());
  }
  if (list.empty()) return;
  out.print("\nNote: some statistics have a value in fewer than all %i replicates (a replicate whose selected pairs "
            "leave a class or the regression without a pair of the variable gives none there; the mean, bounds and "
            "P are over the replicates that have one): %s.",
            n_rep, list.c_str());
}

// A P value's code: by the count of randomizations, or by P alone for an
// analytical test (n_rep 0).
const char* code_of(float p, int n_rep) { return n_rep > 0 ? significance_code(p, n_rep) : significance_code(p); }

}  // namespace

void write_moran_observed(OutputFile& out, const DataSet& data, const DistanceClasses& classes,
                          const MoranResults& observed, const PairFilter& filter, const RegressionInterval& interval) {
  const int n_classes = classes.n_classes;
  out.print("\n\n%s\n%s", headings::kSpatialAnalysis, headings::kPairsConsidered);
  write_pair_set(out, data, filter);
  // The note sits above the slope columns of the table below.
  if (interval.restricted()) {
    for (int c = 1; c <= n_classes; ++c) out.print("\t");
    out.print("\t\t\tRegression within distance interval %f-%f:", static_cast<double>(interval.min_distance),
              static_cast<double>(interval.max_distance));
  }
  out.print("\n\t%s", headings::kClassBounds);
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", classes.class_max[c]);
  out.print("\t\tSlope with dist\tSlope with ln(dist)");
  out.print("\n\t%s", headings::kClassPairs);
  for (int c = 1; c <= n_classes; ++c) out.print("\t%i", observed.class_pair_count[c]);
  out.print("\n\t%s", headings::kClassMeanDistance);
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", observed.class_mean_distance[c]);
  out.print("\n%s", headings::kMoranTable);
  for (int k = 1; k <= data.n_variables; ++k) {
    out.print("\n%s\t", data.var_names[k].c_str());
    for (int c = 1; c <= n_classes; ++c) out.print("\t%f", observed.moran_matrix(k, c));
    out.print("\t\t%.4g\t%.4g", observed.moran_matrix(k, -2), observed.moran_matrix(k, -1));
  }
}

void write_moran_tests(OutputFile& out, Randomization randomization, int n_rep, const DataSet& data, int n_classes,
                       const RangedVector<double>& class_mean_distance,
                       const RangedMatrix<ResampleSummary>& moran_stats, bool detailed_report) {
  if (randomization == Randomization::kComplete)
    out.print("\n\n%s%i replicates); Ho: no spatial autocorrelation", headings::kCompleteTest, n_rep);
  else
    out.print("\n\n%s%i replicates); Ho: original spatial autocorrelation preserved under toroidal randomization",
              headings::kToroidalTest, n_rep);
  out.print("\n%s%s (bilateral tests for Moran's I, unilateral tests for regression slopes)", headings::kCoding,
            kCodingByCount);
  write_mean_distances(out, n_classes, class_mean_distance);
  out.print("\n%s", headings::kMoranTable);
  for (int k = 1; k <= data.n_variables; ++k) {
    out.print("\n%s\t", data.var_names[k].c_str());
    // Codes by the replicates that have a value.
    for (int c = 1; c <= n_classes; ++c) {
      const ResampleSummary& s = moran_stats(k, c);
      out.print("\t%f%s", static_cast<double>(s.obs), significance_code(s.p_two_sided, s.n_rep));
    }
    const ResampleSummary& slope_d = moran_stats(k, -2);
    const ResampleSummary& slope_log = moran_stats(k, -1);
    out.print("\t\t%.4g%s", static_cast<double>(slope_d.obs), significance_code(slope_d.p_less, slope_d.n_rep));
    out.print("\t%.4g%s", static_cast<double>(slope_log.obs), significance_code(slope_log.p_less, slope_log.n_rep));
  }
  write_replicates_with_a_value(out, data, n_classes, n_rep, moran_stats);

  if (detailed_report) {
    out.print("\n\n\n%s%s%s (%i replicates)", headings::kTestDetails, randomization_name(randomization),
              headings::kRandomizationWord, n_rep);
    out.print("\n%s", headings::kDetailsColumns);
    for (int c = 1; c <= n_classes; ++c) out.print("\t%i", c);
    out.print("\t\tSlope with dist\tSlope with ln(dist)");
    for (int k = 1; k <= data.n_variables; ++k) {
      out.print("\n%s\t%s", data.var_names[k].c_str(), headings::kObservedRow);
      write_detail_line(out, moran_stats, k, n_classes, &ResampleSummary::obs);
      out.print("\n\t%s", headings::kMeanRow);
      write_detail_line(out, moran_stats, k, n_classes, &ResampleSummary::mean);
      out.print("\n\t%s", headings::kUpperBoundRow);
      write_detail_line(out, moran_stats, k, n_classes, &ResampleSummary::ci95_sup);
      out.print("\n\t%s", headings::kLowerBoundRow);
      write_detail_line(out, moran_stats, k, n_classes, &ResampleSummary::ci95_inf);
    }
  }
}

void write_moran_analytical(OutputFile& out, const DataSet& data, int n_classes,
                            const RangedVector<double>& class_mean_distance, const MoranAnalytical& tests) {
  out.print("\n\n%s; Ho: no spatial autocorrelation", headings::kAnalyticalTests);
  out.print("\n%s%s (bilateral tests; z = (I - E(I)) / sd(I), with I the class value less 1/(n - 1) and E(I) = "
            "-1/(n - 1), n the samples that have the variable)",
            headings::kCoding, kCodingByP);
  write_mean_distances(out, n_classes, class_mean_distance);
  out.print("\n%s", headings::kDetailsColumns);
  for (int c = 1; c <= n_classes; ++c) out.print("\t%i", c);
  for (int k = 1; k <= data.n_variables; ++k) {
    if (data.is_qualitative(k)) continue;
    const char* name = data.var_names[k].c_str();
    for (const auto& [label, assumption] : {std::pair{"normality", &tests.normality},
                                            std::pair{"randomization", &tests.randomization}}) {
      out.print("\n%s\tz %s", name, label);
      for (int c = 1; c <= n_classes; ++c) {
        const AnalyticalTest& t = (*assumption)(k, c);
        out.print("\t%f%s", t.z, significance_code(t.p_two_sided));
      }
      out.print("\n\tP %s", label);
      for (int c = 1; c <= n_classes; ++c) out.print("\t%.4g", static_cast<double>((*assumption)(k, c).p_two_sided));
      name = "";
    }
  }
}

void write_moran_correction(OutputFile& out, PAdjustment method, const std::string& test, int n_rep,
                            const DataSet& data, int n_classes, const RangedVector<double>& class_mean_distance,
                            const CorrelogramCorrection& correction) {
  const char* method_name =
      method == PAdjustment::kProgressive ? "progressive Bonferroni, class c judged at alpha/c" : "Holm's method";
  out.print("\n\n%s%s%s%s", headings::kCorrection, method_name, headings::kCorrectedTest, test.c_str());
  out.print("\n%s%s (bilateral tests; the correlogram as a whole: the number of classes times the smallest class P; "
            "each class: its P adjusted %s)",
            headings::kCoding, n_rep > 0 ? kCodingByCount : kCodingByP,
            method == PAdjustment::kProgressive ? "to c times P" : "by Holm's method");
  write_mean_distances(out, n_classes, class_mean_distance);
  out.print("\n%s", headings::kCorrectionTable);
  for (int k = 1; k <= data.n_variables; ++k) {
    if (n_rep == 0 && data.is_qualitative(k)) continue;
    const float whole = correction.whole[k];
    out.print("\n%s\t%.4g%s", data.var_names[k].c_str(), static_cast<double>(whole), code_of(whole, n_rep));
    for (int c = 1; c <= n_classes; ++c) {
      const float p = correction.adjusted(k, c);
      out.print("\t%.4g%s", static_cast<double>(p), code_of(p, n_rep));
    }
  }
}

}  // namespace kalveno
