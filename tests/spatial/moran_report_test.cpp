// The spatial autocorrelation sections of the results file: significance
// codes, the pair-set line, the regression note and the two test headings.
#include "spatial/moran_report.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/console.h"
#include "spatial/spatial_data.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// P values as the summary stores them: a quotient formed in double, kept in
// single precision.
float stored_p(double count, double n_rep_plus_1) { return static_cast<float>(count / n_rep_plus_1); }

TEST(SignificanceCode, SingleFloatPValuesMeetTheDoubleThresholds) {
  EXPECT_STREQ(significance_code(stored_p(10, 1000), 999), " **");  // 0.0099999998 <= 0.01
  EXPECT_STREQ(significance_code(stored_p(50, 1000), 999), "");     // 0.0500000007 > 0.05
  EXPECT_STREQ(significance_code(stored_p(49, 1000), 999), " *");
  EXPECT_STREQ(significance_code(stored_p(5, 5000), 4999), " **");  // 0.0010000000475 > 0.001
  EXPECT_STREQ(significance_code(stored_p(4, 5000), 4999), " ***");
}

TEST(SignificanceCode, TooFewReplicatesEarnNoCode) {
  EXPECT_STREQ(significance_code(0, 98), "");
  EXPECT_STREQ(significance_code(0, 99), " *");
  EXPECT_STREQ(significance_code(0, 499), " **");
  EXPECT_STREQ(significance_code(0, 4998), " **");
  EXPECT_STREQ(significance_code(0, 4999), " ***");
}

// Two samples, a quantitative variable "zinc" and a qualitative "colour"
// with states red and blue; two distance classes.
struct ReportFixture : ::testing::Test {
  ReportFixture() : data(empty_data_set(2, 2, {10, 20})), console(in, screen) {
    data.var_names[1] = "zinc";
    data.var_names[2] = "colour";
    make_qualitative(data, 2, 2);
    data.state_names[2][1] = "red";
    data.state_names[2][2] = "blue";
    observed = make_moran_results(2, 2);
    observed.class_pair_count[1] = 1;
    observed.class_mean_distance[1] = 7;
    for (int k = 1; k <= 2; ++k)
      for (int c = -2; c <= 3; ++c) observed.moran_matrix(k, c) = 0.5;
  }

  std::string observed_section(const PairFilter& filter, const RegressionInterval& interval = {}) {
    write_moran_observed(console, folder.file("out.txt"), data, data.classes, observed, filter, interval);
    return folder.read("out.txt");
  }

  TempFolder folder;
  DataSet data;
  MoranResults observed;
  std::istringstream in;
  std::ostringstream screen;
  Console console;
};

std::string first_line_after_heading(const std::string& section) {
  const std::string heading = "\n\nSPATIAL AUTOCORRELATION ANALYSIS\n";
  std::size_t start = section.find(heading);
  if (start == std::string::npos) return "(no heading)";
  start += heading.size();
  return section.substr(start, section.find('\n', start) - start);
}

TEST_F(ReportFixture, PairSetLineNamesTheSelection) {
  EXPECT_EQ(first_line_after_heading(observed_section({0, 0, 0, 0})), "Sample pairs considered: all sample pairs");
}

TEST_F(ReportFixture, PairSetLineForEachMode) {
  const std::string expected[] = {
      "Sample pairs considered: samples with the same state at variable [colour]",
      "Sample pairs considered: samples with distinct states at variable [colour]",
      "Sample pairs considered: samples with state [blue] at variable [colour]",
      "Sample pairs considered: samples with distinct states [blue] and [red] at variable [colour]",
      "Sample pairs considered: ",  // a mode above 4 names no pair set
      "Sample pairs considered: ",  // nor does a mode never read
  };
  const PairFilter filters[] = {{1, 2, 0, 0}, {2, 2, 0, 0}, {3, 2, 2, 0}, {4, 2, 2, 1}, {7, 2, 1, 0}, {-1, 0, 0, 0}};
  for (int m = 0; m < 6; ++m) {
    TempFolder own;
    write_moran_observed(console, own.file("out.txt"), data, data.classes, observed, filters[m], {});
    EXPECT_EQ(first_line_after_heading(own.read("out.txt")), expected[m]);
  }
}

TEST_F(ReportFixture, RegressionNoteSitsAboveTheSlopeColumns) {
  EXPECT_EQ(first_line_after_heading(observed_section({0, 0, 0, 0}, {0, 5})),
            "Sample pairs considered: all sample pairs\t\t\t\t\tRegression within distance interval "
            "0.000000-5.000000:");
}

TEST_F(ReportFixture, ObservedSectionIsTheWholeTable) {
  observed.moran_matrix(2, -2) = MISSING_VALUE;
  EXPECT_EQ(observed_section({0, 0, 0, 0}),
            "\n\nSPATIAL AUTOCORRELATION ANALYSIS\nSample pairs considered: all sample pairs"
            "\n\tMax dist of class:\t10.000000\t20.000000\t\tSlope with dist\tSlope with ln(dist)"
            "\n\tNumber of pairs in class:\t1\t0"
            "\n\tMean dist of class:\t7.000000\t0.000000"
            "\nVariable\tMoran's I:"
            "\nzinc\t\t0.500000\t0.500000\t\t0.5\t0.5"
            "\ncolour\t\t0.500000\t0.500000\t\tinf\t0.5");
}

TEST_F(ReportFixture, TestSectionsHaveTheirHeadingsAndDetails) {
  RangedMatrix<resample_stat_type> stats = resample_stat_type_matrix(0, 2, -2, 3);
  for (int k = 1; k <= 2; ++k) {
    for (int c = -2; c <= 3; ++c) {
      resample_stat_type& s = stats(k, c);
      s = resample_stat_type{};
      s.obs = 0.25f;
      s.mean = 0.125f;
      s.ci95_sup = 1;
      s.ci95_inf = -1;
      s.p_two_sided = 0.5f;
      s.p_less = 0.5f;
    }
  }
  stats(1, 2).p_two_sided = stored_p(10, 1000);  // " **"
  stats(2, -1).p_less = 0;                          // " **"
  stats(2, -2).p_two_sided = 0;                     // slopes are coded by P<, not by this
  write_moran_tests(console, folder.file("out.txt"), "WITHIN GROUP TOROIDAL", 999, data, 2,
                    observed.class_mean_distance, stats, true);
  EXPECT_EQ(folder.read("out.txt"),
            "\n\nTests of maintenance of spatial autocorrelation using TOROIDAL randomization (999 replicates); Ho: "
            "original spatial autocorrelation preserved under toroidal randomization"
            "\nCoding: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 replicates; * for P<=0.05 "
            "and >=99 replicates (bilateral tests for Moran's I, unilateral tests for regression slopes)"
            "\n\tMean dist of class:\t7.000000\t0.000000"
            "\nVariable\tMoran's I:"
            "\nzinc\t\t0.250000\t0.250000 **\t\t0.25\t0.25"
            "\ncolour\t\t0.250000\t0.250000\t\t0.25\t0.25 **"
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

  TempFolder complete;
  write_moran_tests(console, complete.file("out.txt"), "COMPLETE", 98, data, 2, observed.class_mean_distance, stats,
                    false);
  const std::string section = complete.read("out.txt");
  EXPECT_EQ(section.rfind("\n\nTests of spatial autocorrelation using COMPLETE randomization (98 replicates); Ho: no "
                          "spatial autocorrelation\n", 0), 0u);
  EXPECT_EQ(section.find("Details"), std::string::npos);
  EXPECT_EQ(section.find(" *", section.find("Variable")), std::string::npos);  // 98 replicates: never coded
}

}  // namespace
}  // namespace kalveno::testing
