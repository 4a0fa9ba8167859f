// The association sections of the results file: which matrices appear for
// which kinds of variables, how cells are oriented and coded, and the
// detail tables.
#include "association/association_report.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "base/files.h"
#include "data/data_set.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

using testing::TempFolder;

// Variables named by names, of the kinds given; qualitative variable j has
// states named "<name>1", "<name>2", ...
DataSet make_data(const std::vector<std::string>& names, const std::vector<int>& kinds) {
  DataSet data;
  const int v = static_cast<int>(names.size());
  data.n_variables = v;
  data.var_names = Allocator().text_vector(0, v);
  data.var_kind = Allocator().int_vector(0, v);
  data.state_names = Allocator().vector_of<std::vector<std::string>>(0, v, "state names");
  for (int j = 1; j <= v; ++j) {
    data.var_names[j] = names[static_cast<std::size_t>(j - 1)];
    data.var_kind[j] = kinds[static_cast<std::size_t>(j - 1)];
    data.state_names[j].assign(1, "");
    for (int a = 1; a <= data.var_kind[j]; ++a) data.state_names[j].push_back(data.var_names[j] + std::to_string(a));
  }
  return data;
}

// A record whose observed value is obs, with the given mean and P values.
ResampleSummary record(float obs, float mean, float p_two_sided, float p_greater) {
  ResampleSummary s{};
  s.obs = obs;
  s.mean = mean;
  s.p_two_sided = p_two_sided;
  s.p_greater = p_greater;
  s.p_less = 1;
  s.n_rep = 99;
  s.n_different = 7;
  return s;
}

class ReportTest : public ::testing::Test {
 protected:
  TempFolder folder_;
  std::string path_ = folder_.file("out.txt");
  std::optional<OutputFile> file_;

  // The results file, opened for appending when first written to.
  OutputFile& out() {
    if (!file_) file_.emplace(path_, OutputFile::kAppend);
    return *file_;
  }
  std::string written() {
    file_.reset();
    return folder_.read("out.txt");
  }
};

TEST_F(ReportTest, OnlyQuantitativeVariablesGiveThePearsonMatrixAlone) {
  DataSet data = make_data({"a", "b"}, {0, 0});
  RangedMatrix<double> m = Allocator().double_matrix(1, 2, 1, 2);
  m(1, 2) = 0.5, m(2, 1) = 0.25;  // the cell at row a, column b shows (b, a)
  write_association_observed(out(), data, m, make_state_means(Allocator(), 2, data.var_kind));
  EXPECT_EQ(written(),
            "\n\nMatrix of Pearson's correlation coefficients between quantitative variables\n"
            "\ta\tb\na\t\t0.250000\nb\t0.500000\t");
}

TEST_F(ReportTest, OneQuantitativeVariableHasNoPearsonMatrixAndSingleStatesNoMeans) {
  DataSet data = make_data({"y", "c", "one"}, {0, 2, 1});
  RangedMatrix<double> m = Allocator().double_matrix(1, 3, 1, 3);
  m(2, 3) = 1.5, m(3, 2) = 2.5, m(2, 1) = m(1, 2) = 0.75, m(3, 1) = m(1, 3) = MISSING_VALUE;
  StateMeans means = make_state_means(Allocator(), 3, data.var_kind);
  means[2](1, 1) = 4, means[2](1, 2) = 6;
  write_association_observed(out(), data, m, means);
  EXPECT_EQ(written(),
            "\n\nMatrix of Khi-square coefficients between qualitative variables (from contingency tables)\n"
            "\tc\tone\nc\t\t2.500000\none\t1.500000\t"
            "\n\nMatrix of intra-class correlation coefficients of each quantitative variable classified by each "
            "qualitative variable\n\tc\tone\ny\t0.750000\tinf"
            "\n\nMean value of each quantitative variable for each state of each qualitative variable\n"
            "\ny\tc\tc1=4.000000\tc2=6.000000\n");
}

TEST_F(ReportTest, TestsOfOneQuantitativeVariableListItsDiagonalInTheDetails) {
  DataSet data = make_data({"y", "c", "one"}, {0, 2, 1});
  RangedMatrix<ResampleSummary> stats = summary_matrix(Allocator(), 0, 3, 0, 3);
  for (int j = 1; j <= 3; ++j)
    for (int k = 1; k <= 3; ++k) stats(j, k) = record(static_cast<float>(j * 10 + k), 0, 1, 1);
  stats(1, 3) = stats(3, 1) = record(MISSING_VALUE, MISSING_VALUE, 1, 1);
  write_association_tests(out(), Randomization::kComplete, 99, data, stats, true);
  const std::string rest = "\t\t99\t7\t0.000000\t0.000000\t0.000000\t0.000000\t1.000000\t1.000000\t1.000000";
  const std::string details_header =
      "Name var1\tName var2\tN\xb0var1\tN\xb0var2\tobsR\t\t# rep\t# different Rrand\tmean Rrand\tSD Rrand\t95%CI "
      "inf\t95%CI sup\tP<\tP>\tP<>";
  EXPECT_EQ(written(),
            "\n\nTests of association between variables using COMPLETE randomization (99 replicates)"
            "\n\nMatrix with significant Chi-square coefficients between qualitative variables according to "
            "independence tests\nCoding: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 "
            "replicates; * for P<=0.05 and >=99 replicates (unilateral tests)\n"
            "\tc\tone\nc\t\t32.000000\none\t23.000000\t"
            "\n\nMatrix with significant intra-class correlation coefficients of quantitative variables classified "
            "by qualitative variables\nCoding: *** for P<=0.001 and >=4999 replicates; ** for P<=0.01 and >=499 "
            "replicates; * for P<=0.05 and >=99 replicates (unilateral tests)\n"
            "\tc\tone\ny\t21.000000\tinf"
            "\n\n\nDETAILS of COMPLETE randomization tests of association between variables (99 replicates)"
            "\n\nTests of correlation coefficients between quantitative variables\n" +
                details_header +
                "\ny\ty\t1\t1\t11.000000" + rest +
                "\n\nTests of independance (Chi-square) between qualitative variables\nName var1\tName "
                "var2\tN\xb0var1\tN\xb0var2\tobsKhi2\t\t# rep\t# different RandKhi2\tmean RandKhi2\tSD "
                "RandKhi2\t95%CI inf\t95%CI sup\tP<\tP>\tP<>" +
                "\nc\tc\t2\t2\t22.000000" + rest +
                "\nc\tone\t2\t3\t23.000000" + rest +
                "\none\tc\t3\t2\t32.000000" + rest +
                "\none\tone\t3\t3\t33.000000" + rest +
                "\n\nTests of intra-class correlation coefficients of quantitative variables classified by "
                "qualitative variables\n" +
                details_header +
                "\ny\tc\t1\t2\t12.000000" + rest +
                "\ny\tone\t1\t3\tinf\t\t99\t7\tinf\t0.000000\t0.000000\t0.000000\t1.000000\t1.000000\t1.000000");
}

TEST_F(ReportTest, OnlyQuantitativeTestsHaveNoQualitativeMatricesButEveryDetailHeader) {
  DataSet data = make_data({"a", "b"}, {0, 0});
  RangedMatrix<ResampleSummary> stats = summary_matrix(Allocator(), 0, 2, 0, 2);
  for (int j = 1; j <= 2; ++j)
    for (int k = 1; k <= 2; ++k) stats(j, k) = record(0.5f, 0.5f, 1, 1);
  write_association_tests(out(), Randomization::kToroidal, 99, data, stats, true);
  const std::string out = written();
  EXPECT_EQ(out.find("Chi-square coefficients between"), std::string::npos);
  EXPECT_EQ(out.find("intra-class correlation coefficients of quantitative variables classified by qualitative "
                     "variables\nCoding"),
            std::string::npos);
  EXPECT_NE(out.find("\n\nTests of independance (Chi-square) between qualitative variables\n"), std::string::npos);
  EXPECT_TRUE(out.ends_with("\n\nTests of intra-class correlation coefficients of quantitative variables "
                            "classified by qualitative variables\nName var1\tName var2\tN\xb0var1\tN\xb0var2\t"
                            "obsR\t\t# rep\t# different Rrand\tmean Rrand\tSD Rrand\t95%CI inf\t95%CI sup\tP<\tP>"
                            "\tP<>"));
}

// Records of test (j, k) with obs = j and, unless coded, mean = obs and P = 1.
RangedMatrix<ResampleSummary> plain_records(int v) {
  RangedMatrix<ResampleSummary> stats = summary_matrix(Allocator(), 0, v, 0, v);
  for (int j = 1; j <= v; ++j)
    for (int k = 1; k <= v; ++k) stats(j, k) = record(static_cast<float>(j), static_cast<float>(j), 1, 1);
  return stats;
}

TEST_F(ReportTest, PearsonCellsCarryTheSignAndTheTwoSidedLevel) {
  DataSet data = make_data({"a", "b", "c", "d"}, {0, 0, 0, 0});
  RangedMatrix<ResampleSummary> stats = plain_records(4);
  // The code of the cell at row j, column k comes from record (j, k); the
  // value printed is the observed value of record (k, j).
  auto code = [&](int j, int k, float mean, float p) { stats(j, k).mean = mean, stats(j, k).p_two_sided = p; };
  code(1, 2, 0, 0.0005f);        // above the mean
  code(1, 3, 5, 10.0f / 1000);   // below it; P stored just under 0.01
  code(1, 4, 1, 0.0002f);        // equal to the mean: no mark at all
  code(2, 1, 0, 0.06f);          // above 0.05: no level
  code(2, 3, 0, 0.04f);
  code(3, 4, 5, 0.002f);         // above 0.001: two stars at most
  auto tests = [&](int n_rep) {
    std::remove(path_.c_str());
    write_association_tests(out(), Randomization::kComplete, n_rep, data, stats, false);
    return written();
  };
  auto has = [](const std::string& out, const std::string& line) { return out.find(line) != std::string::npos; };
  std::string out = tests(4999);
  EXPECT_TRUE(has(out, "\na\t\t2.000000 +***\t3.000000 -**\t4.000000\nb\t"));
  EXPECT_TRUE(has(out, "\nb\t1.000000\t\t3.000000 +*\t4.000000\nc\t"));
  EXPECT_TRUE(has(out, "\nc\t1.000000\t2.000000\t\t4.000000 -**\nd\t"));
  EXPECT_TRUE(has(tests(499), "\na\t\t2.000000 +**\t3.000000 -**\t4.000000\nb\t"));
  out = tests(99);
  EXPECT_TRUE(has(out, "\na\t\t2.000000 +*\t3.000000 -*\t4.000000\nb\t"));
  EXPECT_TRUE(has(out, "\nc\t1.000000\t2.000000\t\t4.000000 -*\nd\t"));
  out = tests(98);
  EXPECT_TRUE(has(out, "\na\t\t2.000000\t3.000000\t4.000000\nb\t1.000000\t\t3.000000\t4.000000\nc\t"));
}

TEST_F(ReportTest, ChiSquareAndIntraClassCellsCarryTheOneSidedLevel) {
  DataSet data = make_data({"y", "p", "q"}, {0, 2, 3});
  RangedMatrix<ResampleSummary> stats = plain_records(3);
  auto code = [&](int j, int k, float mean, float p_two_sided, float p_greater) {
    stats(j, k).mean = mean, stats(j, k).p_two_sided = p_two_sided, stats(j, k).p_greater = p_greater;
  };
  code(2, 3, 100, 1, 0.0005f);  // one-sided, and no sign mark whatever the mean
  code(3, 2, 0, 0, 0.02f);
  code(1, 2, 0, 0, 0.008f);
  code(1, 3, 0, 0.0001f, 0.5f);  // the two-sided P does not count here
  write_association_tests(out(), Randomization::kComplete, 4999, data, stats, false);
  const std::string out = written();
  EXPECT_NE(out.find("\n\tp\tq\np\t\t3.000000 ***\nq\t2.000000 *\t"), std::string::npos);
  EXPECT_TRUE(out.ends_with("\n\tp\tq\ny\t2.000000 **\t3.000000"));
  EXPECT_EQ(out.find('+'), std::string::npos);
}

}  // namespace
}  // namespace kalveno
