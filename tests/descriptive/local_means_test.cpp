// Local means within a radius.
#include <gtest/gtest.h>

#include "descriptive/local_means.h"
#include "support/load_data.h"

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

}  // namespace
}  // namespace kalveno
