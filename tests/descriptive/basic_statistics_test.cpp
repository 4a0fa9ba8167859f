// The header block and the basic statistics, byte for byte, through the binary.
#include <gtest/gtest.h>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

const char kHeaderOfFiveSamples[] =
    "\nKALVENO 1.0 - Written by Bremwick\n"
    "\nData file: data.txt\nOutput file: out.txt\nFirst line of data file: basic\n"
    "\n# samples: 5\n# grids: 0\n# variables: %i\nMissing data represented by: NA\n"
    "\nMinimal and maximal distance between samples: 1.000000 - 4.000000";

std::string results_for(const std::string& data) {
  TempFolder folder;
  folder.write("data.txt", data);
  ProgramRun run = run_kalveno(folder.path(), {"data.txt", "out.txt"}, "\n");
  EXPECT_EQ(run.status, 0) << run.output;
  return folder.read("out.txt");
}

std::string header(int n_variables) {
  char text[512];
  std::snprintf(text, sizeof text, kHeaderOfFiveSamples, n_variables);
  return text;
}

TEST(BasicStatistics, DescribeEachKindOfVariable) {
  std::string out = results_for(
      "basic\n5 0 4 NA\n0\nn\tx\ty\tq\tone\tnone\t$c\n"
      "s1\t0\t0\t1\t7\tNA\ta\ns2\t1\t0\t2\tNA\tNA\tb\ns3\t2\t0\t3\tNA\tNA\ta\n"
      "s4\t3\t0\t4\tNA\tNA\tNA\ns5\t4\t0\tNA\tNA\tNA\ta\n");
  // One value has no spread (0/0); no value at all gives no mean and no
  // extremes, all printed as the not-a-number they are.
  EXPECT_EQ(out, header(4) +
                     "\n\nBASIC STATISTICS for QUANTITATIVE variables\n\tMean\tStandard Deviation\tMin value\tMax "
                     "value\t% missing data"
                     "\nq\t2.500000\t1.290994\t1.000000\t4.000000\t20"
                     "\none\t7.000000\t-nan\t7.000000\t7.000000\t80"
                     "\nnone\t-nan\t-nan\t-nan\t-nan\t1e+02"
                     "\n\nBASIC STATISTICS for QUALITATIVE variables\n\tNstates\t% missing data"
                     "\nc\t2\t20\tStates:\ta\tb\n\t\t\tFreq:\t0.75\t0.25");
}

// Values far from 0 (0 to 4 steps of 64 above 1e9, of 256 above 4e9, as
// single precision holds them): the standard deviation of the steps,
// 1.581139 of them, where E(x^2) - m^2 gave 0, -nan or a wrong figure.
TEST(BasicStatistics, KeepTheSpreadOfValuesFarFromZero) {
  std::string out = results_for(
      "basic\n5 0 2 NA\n0\nn\tx\ty\tnear\tfar\n"
      "s1\t0\t0\t1000000000\t4000000000\ns2\t1\t0\t1000000064\t4000000256\ns3\t2\t0\t1000000128\t4000000512\n"
      "s4\t3\t0\t1000000192\t4000000768\ns5\t4\t0\t1000000256\t4000001024\n");
  EXPECT_NE(out.find("\nnear\t1000000128.000000\t101.192885\t1000000000.000000\t1000000256.000000\t0\n"),
            std::string::npos) << out;
  EXPECT_NE(out.find("\nfar\t4000000512.000000\t404.771541\t4000000000.000000\t4000001024.000000\t0\n"),
            std::string::npos) << out;
}

TEST(BasicStatistics, WriteBothHeadersEvenWithoutVariablesOfTheirKind) {
  std::string data = "basic\n5 0 1 NA\n0\nn\tx\ty\t%s\ns1\t0\t0\t%s\ns2\t1\t0\t%s\ns3\t2\t0\t%s\ns4\t3\t0\t%s\n"
                     "s5\t4\t0\t%s\n";
  char quantitative[512], qualitative[512];
  std::snprintf(quantitative, sizeof quantitative, data.c_str(), "q", "1", "2", "3", "4", "5");
  std::snprintf(qualitative, sizeof qualitative, data.c_str(), "c", "a", "b", "a", "c", "NA");
  EXPECT_EQ(results_for(quantitative),
            header(1) +
                "\n\nBASIC STATISTICS for QUANTITATIVE variables\n\tMean\tStandard Deviation\tMin value\tMax "
                "value\t% missing data\nq\t3.000000\t1.581139\t1.000000\t5.000000\t0"
                "\n\nBASIC STATISTICS for QUALITATIVE variables\n\tNstates\t% missing data");
  EXPECT_EQ(results_for(qualitative),
            header(1) +
                "\n\nBASIC STATISTICS for QUANTITATIVE variables\n\tMean\tStandard Deviation\tMin value\tMax "
                "value\t% missing data"
                "\n\nBASIC STATISTICS for QUALITATIVE variables\n\tNstates\t% missing data"
                "\nc\t3\t20\tStates:\ta\tb\tc\n\t\t\tFreq:\t0.5\t0.25\t0.25");
}

}  // namespace
}  // namespace kalveno::testing
