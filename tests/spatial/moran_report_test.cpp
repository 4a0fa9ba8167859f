// The spatial autocorrelation sections of the results file: the pair-set
// line, the regression note and the two test headings.
#include "spatial/moran_report.h"

#include <gtest/gtest.h>

#include "base/files.h"
#include "spatial/spatial_data.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// Two samples, a quantitative variable "zinc" and a qualitative "colour"
// with states red and blue; two distance classes.
struct ReportFixture : ::testing::Test {
  ReportFixture() : data(empty_data_set(2, 2, {10, 20})) {
    data.var_names[1] = "zinc";
    data.var_names[2] = "colour";
    make_qualitative(data, 2, 2);
    data.state_names[2][1] = "red";
    data.state_names[2][2] = "blue";
    observed = make_moran_results(Allocator(), 2, 2);
    observed.class_pair_count[1] = 1;
    observed.class_mean_distance[1] = 7;
    for (int k = 1; k <= 2; ++k)
      for (int c = -2; c <= 3; ++c) observed.moran_matrix(k, c) = 0.5;
  }

  // What write writes into a file of its own.
  template <class Write>
  std::string written(Write write) {
    TempFolder folder;
    {
      OutputFile out(folder.file("out.txt"), OutputFile::kReplace);
      write(out);
    }
    return folder.read("out.txt");
  }

  std::string observed_section(const PairFilter& filter, const RegressionInterval& interval = {}) {
    return written([&](OutputFile& out) { write_moran_observed(out, data, data.classes, observed, filter, interval); });
  }

  DataSet data;
  MoranResults observed;
};

std::string first_line_after_heading(const std::string& section) {
  const std::string heading = "\n\nSPATIAL AUTOCORRELATION ANALYSIS\n";
  std::size_t start = section.find(heading);
  if (start == std::string::npos) return "(no heading)";
  start += heading.size();
  return section.substr(start, section.find('\n', start) - start);
}

TEST_F(ReportFixture, PairSetLineNamesTheSelection) {
  EXPECT_EQ(first_line_after_heading(observed_section({})), "Sample pairs considered: all sample pairs");
}

TEST_F(ReportFixture, PairSetLineForEachMode) {
  const std::string expected[] = {
      "Sample pairs considered: samples with the same state at variable [colour]",
      "Sample pairs considered: samples with distinct states at variable [colour]",
      "Sample pairs considered: samples with state [blue] at variable [colour]",
      "Sample pairs considered: samples with distinct states [blue] and [red] at variable [colour]",
      "Sample pairs considered: ",  // an answer that chose no selection names no pair set
  };
  using enum PairSelection;
  const PairFilter filters[] = {{kSameState, 2, 0, 0}, {kDistinctStates, 2, 0, 0}, {kOneState, 2, 2, 0},
                                {kTwoStates, 2, 2, 1}, {kUnnamedAll, 2, 1, 0}};
  for (int m = 0; m < 5; ++m) EXPECT_EQ(first_line_after_heading(observed_section(filters[m])), expected[m]);
}

TEST_F(ReportFixture, RegressionNoteSitsAboveTheSlopeColumns) {
  EXPECT_EQ(first_line_after_heading(observed_section({}, {0, 5})),
            "Sample pairs considered: all sample pairs\t\t\t\t\tRegression within distance interval "
            "0.000000-5.000000:");
}

TEST_F(ReportFixture, ObservedSectionIsTheWholeTable) {
  observed.moran_matrix(2, -2) = MISSING_VALUE;
  EXPECT_EQ(observed_section({}),
            "\n\nSPATIAL AUTOCORRELATION ANALYSIS\nSample pairs considered: all sample pairs"
            "\n\tMax dist of class:\t10.000000\t20.000000\t\tSlope with dist\tSlope with ln(dist)"
            "\n\tNumber of pairs in class:\t1\t0"
            "\n\tMean dist of class:\t7.000000\t0.000000"
            "\nVariable\tMoran's I:"
            "\nzinc\t\t0.500000\t0.500000\t\t0.5\t0.5"
            "\ncolour\t\t0.500000\t0.500000\t\tinf\t0.5");
}

TEST_F(ReportFixture, TestSectionsHaveTheirHeadingsAndDetails) {
  RangedMatrix<ResampleSummary> stats = summary_matrix(Allocator(), 0, 2, -2, 3);
  for (int k = 1; k <= 2; ++k) {
    for (int c = -2; c <= 3; ++c) {
      ResampleSummary& s = stats(k, c);
      s = ResampleSummary{};
      s.obs = 0.25f;
      s.mean = 0.125f;
      s.ci95_sup = 1;
      s.ci95_inf = -1;
      s.p_two_sided = 0.5f;
      s.p_less = 0.5f;
      s.n_rep = 999;
    }
  }
  stats(1, 2).p_two_sided = static_cast<float>(10.0 / 1000);  // " **"
  stats(2, -1).p_less = 0;                          // " **"
  stats(2, -2).p_two_sided = 0;                     // slopes are coded by P<, not by this
  // Replicates that left a class or the regression of colour without a pair.
  stats(2, 1).n_rep = 900;
  stats(2, -2).n_rep = 998;
  EXPECT_EQ(written([&](OutputFile& out) {
              write_moran_tests(out, Randomization::kToroidal, 999, data, 2, observed.class_mean_distance, stats, true);
            }),
            "\n\nTests of maintenance of spatial autocorrelation using TOROIDAL randomization (999 replicates); Ho: "
            "original spatial autocorrelation preserved under toroidal randomization"
            "\nCoding: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 replicates; * for P<=0.05 "
            "and >=99 replicates (bilateral tests for Moran's I, unilateral tests for regression slopes)"
            "\n\tMean dist of class:\t7.000000\t0.000000"
            "\nVariable\tMoran's I:"
            "\nzinc\t\t0.250000\t0.250000 **\t\t0.25\t0.25"
            "\ncolour\t\t0.250000\t0.250000\t\t0.25\t0.25 **"
            "\nNote: some statistics have a value in fewer than all 999 replicates (a replicate whose selected pairs "
            "leave a class or the regression without a pair of the variable gives none there; the mean, bounds and P "
            "are over the replicates that have one): [colour] class 1 in 900, slope with dist in 998."
            "\n\n\nDetails of spatial autocorrelation tests for WITHIN GROUP TOROIDAL randomization (999 replicates)"
            "\nVariable\tclass\t1\t2\t\tSlope with dist\tSlope with ln(dist)"
            "\nzinc\tobs val\t0.250000\t0.250000\t\t0.25\t0.25"
            "\n\tmean rand val\t0.125000\t0.125000\t\t0.125\t0.125"
            "\n\t95% sup\t1.000000\t1.000000\t\t1\t1"
            "\n\t95% inf\t-1.000000\t-1.000000\t\t-1\t-1"
            "\ncolour\tobs val\t0.250000\t0.250000\t\t0.25\t0.25"
            "\n\tmean rand val\t0.125000\t0.125000\t\t0.125\t0.125"
            "\n\t95% sup\t1.000000\t1.000000\t\t1\t1"
            "\n\t95% inf\t-1.000000\t-1.000000\t\t-1\t-1");

  for (int k = 1; k <= 2; ++k)
    for (int c = -2; c <= 3; ++c) stats(k, c).n_rep = 98;
  const std::string section = written([&](OutputFile& out) {
    write_moran_tests(out, Randomization::kComplete, 98, data, 2, observed.class_mean_distance, stats, false);
  });
  EXPECT_EQ(section.rfind("\n\nTests of spatial autocorrelation using COMPLETE randomization (98 replicates); Ho: no "
                          "spatial autocorrelation\n", 0), 0u);
  EXPECT_EQ(section.find("Details"), std::string::npos);
  EXPECT_EQ(section.find(" *", section.find("Variable")), std::string::npos);  // 98 replicates: never coded
}

}  // namespace
}  // namespace kalveno::testing
