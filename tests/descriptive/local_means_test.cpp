// Local means within a radius, and newvar.txt.
#include <gtest/gtest.h>

#include <filesystem>

#include "descriptive/local_means.h"
#include "support/load_data.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

// Samples on a line at 0, 1, 2 and 3 with the values 1, 2, 3 and 4.
const char kLine[] = "line\n4 0 2 NA\n0\nn\tx\ty\tv\tw\n"
                     "a\t0\t0\t1\t10\nb\t1\t0\t2\tNA\nc\t2\t0\t3\t30\nd\t3\t0\t4\t40\n";

std::vector<double> means_of(const LocalMeans& local, int k) {
  std::vector<double> means;
  for (int i = local.means.col_lo(); i <= local.means.col_hi(); ++i) means.push_back(local.means(k, i));
  return means;
}

TEST(LocalMeans, IncludeTheFocalSampleForAPositiveThreshold) {
  DataSet data = testing::load_data_set(kLine);
  LocalMeans local = local_means(Allocator(), data, 2);
  EXPECT_EQ(means_of(local, 1), (std::vector<double>{2, 2.5, 2.5, 3}));
  EXPECT_EQ(local.names[1], "v(d<=2.000000)");
}

TEST(LocalMeans, ExcludeTheFocalSampleForANegativeThreshold) {
  DataSet data = testing::load_data_set(kLine);
  LocalMeans local = local_means(Allocator(), data, -2);
  EXPECT_EQ(means_of(local, 1), (std::vector<double>{2.5, 8.0 / 3, 7.0 / 3, 2.5}));
  EXPECT_EQ(local.names[2], "w(d<=-2.000000)");
}

TEST(LocalMeans, SkipAMissingNeighbourForThatVariableOnly) {
  DataSet data = testing::load_data_set(kLine);
  LocalMeans local = local_means(Allocator(), data, 1);
  EXPECT_EQ(means_of(local, 1), (std::vector<double>{1.5, 2, 3, 3.5}));
  EXPECT_EQ(means_of(local, 2), (std::vector<double>{10, 20, 35, 35}));
}

TEST(LocalMeans, AreMissingWhereNoValueIsNear) {
  DataSet data = testing::load_data_set(kLine);
  LocalMeans local = local_means(Allocator(), data, -0.5f);
  for (double mean : means_of(local, 1)) EXPECT_EQ(mean, MISSING_VALUE);
}

TEST(LocalMeans, CountSamplesAtTheFocalPositionEvenWhenItIsExcluded) {
  DataSet data = testing::load_data_set("same\n3 0 1 NA\n0\nn\tx\ty\tv\na\t5\t5\t1\nb\t5\t5\t3\nc\t6\t5\t8\n");
  EXPECT_EQ(means_of(local_means(Allocator(), data, 0), 1), (std::vector<double>{2, 2, 8}));
  // A negative zero excludes nothing: it is not below 0.
  EXPECT_EQ(means_of(local_means(Allocator(), data, -0.0f), 1), (std::vector<double>{2, 2, 8}));
  EXPECT_EQ(means_of(local_means(Allocator(), data, -0.5f), 1), (std::vector<double>{3, 1, MISSING_VALUE}));
}

TEST(NewVariables, FollowTheDataFileLayoutByteForByte) {
  testing::TempFolder folder;
  folder.write("in.txt", "soils\r\n3 0 3 -9\n0\nn\tx\ty\tpH\t$soil\tdepth\n"
                         "p1\t0\t0\t6.5\tclay\t-9\np2\t3\t4\t7.5\tsand\t20\np3\t30\t40\t5\tclay\t-9\n");
  testing::ProgramRun run = testing::run_kalveno(folder.path(), {"in.txt", "out.txt"}, "3\n-5\n\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_NE(run.output.find("\nNew variables written in file: newvar.txt"), std::string::npos);
  EXPECT_EQ(folder.read("newvar.txt"),
            "New variables created from file \"in.txt\" with first line text: soils\n"
            "Average values of each original variable within a circle of radius= 5 (focal site excluded)\n"
            "3\t3\t0\t-9\nSample\tpH(d<=-5.000000)\tdepth(d<=-5.000000)\n"
            "p1\t7.500000\t20.000000\np2\t6.500000\t-9\np3\t-9\t-9");
}

TEST(NewVariables, AnAnswerWithoutANumberWritesNothing) {
  testing::TempFolder folder;
  folder.write("in.txt", kLine);
  for (const char* answer : {"\n", "near\n", ""}) {
    testing::ProgramRun run = testing::run_kalveno(folder.path(), {"in.txt", "out.txt"}, std::string("3\n") + answer);
    EXPECT_EQ(run.status, 0);
    EXPECT_FALSE(folder.exists("newvar.txt")) << answer;
  }
}

TEST(NewVariables, StopWhenNewvarCannotBeOpenedAndNoKeyCanBeWaitedFor) {
  testing::TempFolder folder;
  folder.write("in.txt", kLine);
  std::filesystem::create_directory(folder.file("newvar.txt"));
  testing::ProgramRun run = testing::run_kalveno(folder.path(), {"in.txt", "out.txt"}, "3\n2\n");
  EXPECT_EQ(run.status, 4);
  EXPECT_NE(run.output.find("\nWARNING: Cannot open file \"newvar.txt\".\n"), std::string::npos);
}

TEST(NewVariables, NeverReplaceTheDataOrTheResults) {
  testing::TempFolder folder;
  folder.write("newvar.txt", kLine);
  testing::ProgramRun run = testing::run_kalveno(folder.path(), {"newvar.txt", "out.txt"}, "3\n2\n");
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.output.find("\nWARNING: newvar.txt is the data file or the results file of this run"),
            std::string::npos);
  EXPECT_EQ(folder.read("newvar.txt"), kLine);
}

}  // namespace
}  // namespace kalveno
