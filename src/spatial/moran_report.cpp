#include "spatial/moran_report.h"

#include "app/results_file.h"

namespace kalveno {

const char* significance_code(float p, int n_rep) {
  switch (significance_level(p, n_rep)) {
    case 3: return " ***";
    case 2: return " **";
    case 1: return " *";
    default: return "";
  }
}

namespace {

void write_pair_set(OutputFile& out, const DataSet& data, const PairFilter& filter) {
  const int v = filter.variable;
  switch (filter.mode) {
    case 0:
      out.print("all sample pairs");
      break;
    case 1:
      out.print("samples with the same state at variable [%s]", data.var_names[v].c_str());
      break;
    case 2:
      out.print("samples with distinct states at variable [%s]", data.var_names[v].c_str());
      break;
    case 3:
      out.print("samples with state [%s] at variable [%s]", data.state_names[v][filter.first_class].c_str(),
                data.var_names[v].c_str());
      break;
    case 4:
      out.print("samples with distinct states [%s] and [%s] at variable [%s]",
                data.state_names[v][filter.first_class].c_str(), data.state_names[v][filter.second_class].c_str(),
                data.var_names[v].c_str());
      break;
    default:  // no mode read, or one that selects nothing: every pair, unnamed
      break;
  }
}

// One line of the details table: a member of every class's summary, then of
// the two slopes'.
template <class Member>
void write_detail_line(OutputFile& out, const RangedMatrix<resample_stat_type>& stats, int k, int n_classes,
                       Member member) {
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", static_cast<double>(stats(k, c).*member));
  out.print("\t\t%.4g\t%.4g", static_cast<double>(stats(k, -2).*member), static_cast<double>(stats(k, -1).*member));
}

}  // namespace

void write_moran_observed(Console& console, const std::string& results_path, const DataSet& data,
                          const DistanceClasses& classes, const MoranResults& observed, const PairFilter& filter,
                          const RegressionInterval& interval) {
  const int n_classes = classes.n_classes;
  OutputFile out = open_results_for_append(console, results_path);
  out.print("\n\nSPATIAL AUTOCORRELATION ANALYSIS\nSample pairs considered: ");
  write_pair_set(out, data, filter);
  // The note sits above the slope columns of the table below.
  if (interval.restricted()) {
    for (int c = 1; c <= n_classes; ++c) out.print("\t");
    out.print("\t\t\tRegression within distance interval %f-%f:", static_cast<double>(interval.min_distance),
              static_cast<double>(interval.max_distance));
  }
  out.print("\n\tMax dist of class:");
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", classes.class_max[c]);
  out.print("\t\tSlope with dist\tSlope with ln(dist)");
  out.print("\n\tNumber of pairs in class:");
  for (int c = 1; c <= n_classes; ++c) out.print("\t%i", observed.class_pair_count[c]);
  out.print("\n\tMean dist of class:");
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", observed.class_mean_distance[c]);
  out.print("\nVariable\tMoran's I:");
  for (int k = 1; k <= data.n_variables; ++k) {
    out.print("\n%s\t", data.var_names[k].c_str());
    for (int c = 1; c <= n_classes; ++c) out.print("\t%f", observed.moran_matrix(k, c));
    out.print("\t\t%.4g\t%.4g", observed.moran_matrix(k, -2), observed.moran_matrix(k, -1));
  }
  close_results(console, out, results_path);
}

void write_moran_tests(Console& console, const std::string& results_path, const std::string& randomization_name,
                       int n_rep, const DataSet& data, int n_classes, const RangedVector<double>& class_mean_distance,
                       const RangedMatrix<resample_stat_type>& moran_stats, bool detailed_report) {
  OutputFile out = open_results_for_append(console, results_path);
  if (randomization_name == "COMPLETE")
    out.print("\n\nTests of spatial autocorrelation using COMPLETE randomization (%i replicates); Ho: no spatial "
              "autocorrelation",
              n_rep);
  else
    out.print("\n\nTests of maintenance of spatial autocorrelation using TOROIDAL randomization (%i replicates); Ho: "
              "original spatial autocorrelation preserved under toroidal randomization",
              n_rep);
  out.print("\nCoding: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 replicates; * for P<=0.05 "
            "and >=99 replicates (bilateral tests for Moran's I, unilateral tests for regression slopes)");
  out.print("\n\tMean dist of class:");
  for (int c = 1; c <= n_classes; ++c) out.print("\t%f", class_mean_distance[c]);
  out.print("\nVariable\tMoran's I:");
  for (int k = 1; k <= data.n_variables; ++k) {
    out.print("\n%s\t", data.var_names[k].c_str());
    for (int c = 1; c <= n_classes; ++c) {
      const resample_stat_type& s = moran_stats(k, c);
      out.print("\t%f%s", static_cast<double>(s.obs), significance_code(s.p_two_sided, n_rep));
    }
    const resample_stat_type& slope_d = moran_stats(k, -2);
    const resample_stat_type& slope_log = moran_stats(k, -1);
    out.print("\t\t%.4g%s", static_cast<double>(slope_d.obs), significance_code(slope_d.p_less, n_rep));
    out.print("\t%.4g%s", static_cast<double>(slope_log.obs), significance_code(slope_log.p_less, n_rep));
  }

  if (detailed_report) {
    out.print("\n\n\nDetails of spatial autocorrelation tests for %s randomization (%i replicates)",
              randomization_name.c_str(), n_rep);
    out.print("\nVariable\tclass");
    for (int c = 1; c <= n_classes; ++c) out.print("\t%i", c);
    out.print("\t\tSlope with dist\tSlope with ln(dist)");
    for (int k = 1; k <= data.n_variables; ++k) {
      out.print("\n%s\tobs val", data.var_names[k].c_str());
      write_detail_line(out, moran_stats, k, n_classes, &resample_stat_type::obs);
      out.print("\n\tmean rand val");
      write_detail_line(out, moran_stats, k, n_classes, &resample_stat_type::mean);
      out.print("\n\t95%% sup");
      write_detail_line(out, moran_stats, k, n_classes, &resample_stat_type::ci95_sup);
      out.print("\n\t95%% inf");
      write_detail_line(out, moran_stats, k, n_classes, &resample_stat_type::ci95_inf);
    }
  }
  close_results(console, out, results_path);
}

}  // namespace kalveno
