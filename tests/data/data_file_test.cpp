// Reading the data file: kinds of variables, states, grids, and every refusal.
#include <gtest/gtest.h>

#include "data/data_file.h"

namespace kalveno {
namespace {

struct Load {
  DataSet data;
  bool refused = false;
  std::string printed;  // the warning of a refused file
};

Load load(const std::string& content) {
  Load result;
  try {
    const DataFile file(content);
    file.read_header(Allocator(), result.data);
    allocate_sample_arrays(Allocator(), result.data);
    file.read_samples(Allocator(), result.data);
  } catch (const DataFileRefused& refused) {
    result.refused = true;
    result.printed = refused.warning;
  }
  return result;
}

// A file without grids whose sample lines are "s<i>\t<i>\t0\t<cells>".
std::string file_without_grids(const std::string& line2, const std::string& names,
                               const std::vector<std::string>& cells) {
  std::string text = "title\n" + line2 + "\n0\nname\tx\ty\t" + names + "\n";
  for (std::size_t i = 0; i < cells.size(); ++i)
    text += "s" + std::to_string(i + 1) + "\t" + std::to_string(i) + "\t0\t" + cells[i] + "\n";
  return text;
}

void expect_refused(const std::string& content, const std::string& warning) {
  Load result = load(content);
  EXPECT_TRUE(result.refused) << warning;
  EXPECT_EQ(result.printed, warning);
}

TEST(DataFile, ReadsQuantitativeVariablesWithMissingData) {
  Load r = load(file_without_grids("3 0 2 NA", "a\tb", {"1\t2.5", "NA\t-3", "4\tNA"}));
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.title_line, "title\n");
  EXPECT_EQ(r.data.missing_code, "NA");
  EXPECT_EQ(r.data.var_kind[1], 0);
  EXPECT_EQ(r.data.var_kind[2], 0);
  EXPECT_EQ(r.data.values(1, 1), 1.0);
  EXPECT_EQ(r.data.values(1, 2), MISSING_VALUE);
  EXPECT_EQ(r.data.values(2, 2), -3.0);
  EXPECT_EQ(r.data.values(2, 3), MISSING_VALUE);
  EXPECT_EQ(r.data.x[3], 2.0);
  EXPECT_EQ(r.data.sample_names[2], "s2");
}

// Values and class bounds in single precision; coordinates in double, so
// that positions far from the origin keep their decimals.
TEST(DataFile, StoresValuesInSingleAndCoordinatesInDoublePrecision) {
  Load r = load("t\n2 0 1 NA\n1\t0.1\nn\tx\ty\tv\na\t5123456.25\t0.1\t0.1\nb\t-0.3\t 1e-3 \t1,5\n");
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.values(1, 1), static_cast<double>(0.1f));
  EXPECT_EQ(r.data.values(1, 2), 1.0);
  EXPECT_EQ(r.data.classes.class_max[1], static_cast<double>(0.1f));
  EXPECT_EQ(r.data.x[1], 5123456.25);
  EXPECT_EQ(r.data.y[1], 0.1);
  EXPECT_EQ(r.data.x[2], -0.3);
  EXPECT_EQ(r.data.y[2], 1e-3);
}

TEST(DataFile, DecidesTheKindOfUnmarkedVariablesFromTheirCells) {
  // The missing-data word is case-sensitive: na is a word, so b is qualitative.
  Load r = load(file_without_grids("4 0 5 NA", "a\tb\tc\td\te",
                                   {"1\tna\t12%\tA3\t1", "2\t1\t1,5\t1\t1e", "1\tNA\t3\t2\t2", "NA\t2\t4\t3\t3"}));
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.var_kind[1], 0);  // 1, 2, 1: numbers
  EXPECT_EQ(r.data.var_kind[2], 3);  // na, 1, 2
  EXPECT_EQ(r.data.var_kind[3], 0);  // 12% and 1,5 start with a number followed by no letter
  EXPECT_EQ(r.data.var_kind[4], 4);  // A3 does not start with a number
  EXPECT_EQ(r.data.var_kind[5], 4);  // a letter right after the number: 1e
  EXPECT_EQ(r.data.values(3, 1), 12.0);
  // Every word of a qualitative variable is a state name, numbers included.
  EXPECT_EQ(r.data.state_names[4][2], "1");
}

TEST(DataFile, NumbersStatesInOrderOfFirstAppearance) {
  Load r = load(file_without_grids("4 0 2 NA", "a\t$m", {"b\t1", "a\t2", "b\t1", "c\tNA"}));
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.var_kind[1], 3);
  EXPECT_EQ(r.data.state_names[1][1], "b");
  EXPECT_EQ(r.data.state_names[1][2], "a");
  EXPECT_EQ(r.data.state_names[1][3], "c");
  EXPECT_EQ(r.data.values(1, 2), 2.0);
  EXPECT_EQ(r.data.values(1, 4), 3.0);
  // The mark is not part of the name; marked numbers are states.
  EXPECT_EQ(r.data.var_names[2], "m");
  EXPECT_EQ(r.data.var_kind[2], 2);
  EXPECT_EQ(r.data.values(2, 3), 1.0);
}

TEST(DataFile, CountsStatesFromTheFirstSampleThatHasTheVariable) {
  Load r = load(file_without_grids("3 0 2 NA", "$q\t$empty", {"NA\tNA", "x\tNA", "y\tNA"}));
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.var_kind[1], 2);
  EXPECT_EQ(r.data.state_names[1][1], "x");
  EXPECT_EQ(r.data.values(1, 2), 1.0);
  // Missing everywhere: one state, without a name or samples.
  EXPECT_EQ(r.data.var_kind[2], 1);
  EXPECT_EQ(r.data.state_names[2][1], "");
}

TEST(DataFile, HashMarkKeepsAVariableQuantitative) {
  Load r = load(file_without_grids("2 0 1 NA", "#w", {"12kg", "3"}));
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.var_kind[1], 0);
  EXPECT_EQ(r.data.var_names[1], "w");
  EXPECT_EQ(r.data.values(1, 1), 12.0);
}

TEST(DataFile, ReadsDistanceClassesAndIgnoresCellsBeyondThem) {
  Load r = load("t\n1 0 1 NA\n3\t10\t20\t50\t99\nn\tx\ty\tv\ns\t0\t0\t1\n");
  ASSERT_FALSE(r.refused) << r.printed;
  ASSERT_EQ(r.data.classes.n_classes, 3);
  EXPECT_EQ(r.data.classes.class_max[1], 10);
  EXPECT_EQ(r.data.classes.class_max[3], 50);
}

TEST(DataFile, NumbersGridsByFirstAppearanceOfTheirNames) {
  Load r = load("t\n3 2 1 NA\n0\nn\tx\ty\tgrid\tgx\tgy\tv\n"
                "a\t0\t0\tB\t1\t02\t1\nb\t1\t0\tA\t3\t1\t2\nc\t2\t0\tB\t2\t010\t3\r\n");
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.sample_grid(0, 1), 1);
  EXPECT_EQ(r.data.sample_grid(0, 2), 2);
  EXPECT_EQ(r.data.sample_grid(0, 3), 1);
  EXPECT_EQ(r.data.sample_grid(2, 1), 2);   // zero-padded positions are decimal
  EXPECT_EQ(r.data.sample_grid(2, 3), 10);
  EXPECT_EQ(r.data.max_grid_x, 3);
  EXPECT_EQ(r.data.max_grid_y, 10);
  EXPECT_EQ(r.data.values(1, 3), 3.0);  // the carriage return is not part of the line
}

TEST(DataFile, OneGridHasNoGridNameColumn) {
  Load r = load("t\n2 1 1 NA\n0\nn\tx\ty\tgx\tgy\tv\na\t0\t0\t1\t1\t5\nb\t0\t1\t1\t2\t6\n");
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.sample_grid(0, 2), 1);
  EXPECT_EQ(r.data.sample_grid(2, 2), 2);
  EXPECT_EQ(r.data.values(1, 2), 6.0);
}

TEST(DataFile, RefusesTheSecondLineWithoutItsFourElementsOrWithNegativeCounts) {
  const std::string four = "\n\nWARNING: 4 elements expected on second line of the data file - not found";
  expect_refused("t\n3 0 2\n0\nn\tx\ty\ta\tb\n", four);
  expect_refused("t\n3 0 x NA\n0\n", four);
  expect_refused("t\n", four);
  expect_refused("t\n-1 0 1 NA\n0\nn\tx\ty\tv\n",
                 "\n\nWARNING: the numbers of samples, grids and variables on second line of the data file must be "
                 "whole numbers from 0 to 2147483647");
  expect_refused("t\n1 2 1 NA\n0\nn\tx\ty\tg\tgx\tgy\tv\n",
                 "\n\nWARNING: 2 grids declared on second line of the data file for only 1 samples");
}

TEST(DataFile, RefusesIncompleteHeaderLines) {
  expect_refused("t\n1 0 1 NA\n3\t10\t20\nn\tx\ty\tv\n",
                 "\n\nWARNING: 3 upper bounds of distance classes expected on third line of the data file, 2 found");
  expect_refused("t\n1 0 1 NA\n2\t10\t\t30\nn\tx\ty\tv\n",
                 "\n\nWARNING: cannot read the upper bound of distance class 2 on third line of the data file");
  expect_refused("t\n1 0 1 NA\n2\t10\t20,5\nn\tx\ty\tv\n",
                 "\n\nWARNING: cannot read the upper bound of distance class 2 on third line of the data file");
  expect_refused("t\n1 0 1 NA\n1.5\t10\t20\n",
                 "\n\nWARNING: the number of distance classes (a whole number of 0 or more) expected at the start of "
                 "third line of the data file - not found");
  expect_refused("t\n1 0 1 NA\nclasses\n",
                 "\n\nWARNING: the number of distance classes (a whole number of 0 or more) expected at the start of "
                 "third line of the data file - not found");
  expect_refused("t\n1 0 3 NA\n0\nn\tx\ty\ta\tb\n",
                 "\n\nWARNING: 3 variable names expected on fourth line of the data file, 2 found");
  expect_refused("t\n1 0 2 NA\n0\nn\tx\ty\ta\t$\n", "\n\nWARNING: no name for variable 2 on fourth line of the data file");
  expect_refused("t\n3 0 1 NA\n0\nn\tx\ty\tv\ns\t0\t0\t1\n",
                 "\n\nWARNING: 3 sample lines expected in the data file (second line), 1 found");
}

TEST(DataFile, RefusesEmptyCellsBeforeAnyConversionError) {
  const std::string empty =
      "\n\nWARNING: no empty cell allowed in the data file. Check sample 2 (\"s2\", line 6 of the data file), "
      "variable 2 (b)";
  expect_refused(file_without_grids("2 0 3 NA", "#a\tb\tc", {"x\t1\t1", "1\t\t1"}), empty);
  expect_refused(file_without_grids("2 0 2 NA", "a\tb", {"1\t1", "1\t"}), empty);
  expect_refused(file_without_grids("2 0 2 NA", "a\tb", {"1\t1", "1\t  "}), empty);
  expect_refused(file_without_grids("2 0 2 NA", "a\tb", {"1\t1", "1"}),
                 "\n\nWARNING: sample 2 (\"s2\", line 6 of the data file) ends before its cell of variable 2 (b)");
}

TEST(DataFile, RefusesCellsThatCannotBeRead) {
  expect_refused(file_without_grids("2 0 1 NA", "#a", {"1", "abc"}),
                 "\n\nWARNING: cannot read the quantitative variable 1 (a) for sample 2 (\"s2\", line 6 of the data "
                 "file)");
  expect_refused(file_without_grids("2 0 1 NA", "a", {"1", "1e39"}),
                 "\n\nWARNING: the quantitative variable 1 (a) for sample 2 (\"s2\", line 6 of the data file) is "
                 "beyond the single-precision range");
  expect_refused("t\n1 0 1 NA\n0\nn\tx\ty\tv\ns\tNA\t0\t1\n",
                 "\n\nWARNING: cannot read the x coordinate of sample 1 (\"s\", line 5 of the data file): a number is "
                 "expected");
  const std::string beyond = "is beyond the single-precision range (at most 3.4028235e+38 in size)";
  for (auto [y, why] : {std::pair<std::string, std::string>{"inf", ": a number is expected"}, {"1e39", beyond},
                        {"0 1", ": a number is expected"}})
    expect_refused("t\n1 0 1 NA\n0\nn\tx\ty\tv\ns\t0\t" + y + "\t1\n",
                   "\n\nWARNING: " + std::string(why == beyond ? "the" : "cannot read the") +
                       " y coordinate of sample 1 (\"s\", line 5 of the data file)" + (why == beyond ? " " : "") + why);
  expect_refused("t\n1 0 1 NA\n0\nn\tx\ty\tv\n\t0\t0\t1\n",
                 "\n\nWARNING: no sample name for sample 1 (line 5 of the data file)");
}

TEST(DataFile, RefusesBadGridColumns) {
  const std::string header = "t\n2 2 1 NA\n0\nn\tx\ty\tg\tgx\tgy\tv\n";
  expect_refused(header + "a\t0\t0\tA\t-1\t1\t1\nb\t0\t0\tA\t1\t1\t1\n",
                 "\n\nWARNING: cannot read the grid X position of sample 1 (\"a\", line 5 of the data file): a whole "
                 "number of 0 or more is expected");
  expect_refused(header + "a\t0\t0\tA\t1\tNA\t1\nb\t0\t0\tA\t1\t1\t1\n",
                 "\n\nWARNING: cannot read the grid Y position of sample 1 (\"a\", line 5 of the data file): a whole "
                 "number of 0 or more is expected");
  expect_refused(header + "a\t0\t0\t \t1\t1\t1\nb\t0\t0\tA\t1\t1\t1\n",
                 "\n\nWARNING: no grid name for sample 1 (\"a\", line 5 of the data file)");
  expect_refused("t\n3 2 1 NA\n0\nn\tx\ty\tg\tgx\tgy\tv\na\t0\t0\tA\t1\t1\t1\nb\t0\t0\tB\t1\t1\t1\n"
                 "c\t0\t0\tC\t1\t1\t1\n",
                 "\n\nWARNING: too many grid names: sample 3 (\"c\", line 7 of the data file) names grid \"C\", beyond "
                 "the 2 grids declared on second line");
}

TEST(DataFile, ReadsNamesAndStatesAsTheirWholeCells) {
  // The sample name cell holds blanks only: the name is not taken from x.
  expect_refused("t\n1 0 1 NA\n0\nn\tx\ty\tv\n  \t5\t0\t1\n",
                 "\n\nWARNING: no sample name for sample 1 (line 5 of the data file)");
  // Towns that share a first word stay apart, as sample names, grid names
  // and states; only the blanks around a cell go. A variable name is still
  // one word (a warning says so).
  Load r = load("t\n3 2 1 NA\n0\nn\tx\ty\tg\tgx\tgy\t$town name\n"
                " North Reading \t0\t0\tupper field\t1\t1\tNorth Reading\n"
                "North Andover\t1\t0\tupper field \t2\t1\t North Andover\n"
                "North\t2\t0\tupper\t1\t1\tNA\n");
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.sample_names[1], "North Reading");
  EXPECT_EQ(r.data.sample_names[2], "North Andover");
  EXPECT_EQ(r.data.sample_names[3], "North");
  EXPECT_EQ(r.data.sample_grid(0, 2), 1);
  EXPECT_EQ(r.data.sample_grid(0, 3), 2);
  EXPECT_EQ(r.data.var_names[1], "town");
  EXPECT_EQ(r.data.var_kind[1], 2);
  EXPECT_EQ(r.data.state_names[1][1], "North Reading");
  EXPECT_EQ(r.data.state_names[1][2], "North Andover");
  EXPECT_EQ(r.data.values(1, 3), MISSING_VALUE);
}

TEST(DataFile, WarnsOncePerUnmarkedVariableReadByTheLeadingNumberOfItsCells) {
  // Variable a: two such cells, one warning naming the first; b: none; #c
  // asks for that reading; $d and e are qualitative.
  const std::string content = file_without_grids(
      "3 0 5 NA", "a\tb\t#c\t$d\te", {"1\t1\t7cm\t1,5\tx", "2,5 \t 2 \t8cm\t2\t3,5", "12%\t3\t9\t3\ty"});
  const DataFile file(content);
  DataSet data;
  std::vector<std::string> warnings;
  file.read_header(Allocator(), data);
  allocate_sample_arrays(Allocator(), data);
  file.read_samples(Allocator(), data, [&](const std::string& warning) { warnings.push_back(warning); });
  ASSERT_EQ(warnings.size(), 1u);
  EXPECT_NE(warnings[0].find("variable 1 (a) reads \"2,5\" of sample 2 (\"s2\", line 6 of the data file) as 2"),
            std::string::npos)
      << warnings[0];
  EXPECT_EQ(data.values(1, 2), 2.0);
  EXPECT_EQ(data.values(1, 3), 12.0);
  EXPECT_EQ(data.values(2, 2), 2.0);
}

TEST(DataFile, TableOfCellsTooLargeForTheMemoryFailsWithItsMessage) {
  const DataFile file(file_without_grids("2 0 2 NA", "a\tb", {"1\t2", "3\t4"}));
  DataSet data;
  file.read_header(Allocator(), data);
  allocate_sample_arrays(Allocator(), data);
  try {
    file.read_samples(Allocator(16), data);
    ADD_FAILURE() << "no allocation failure";
  } catch (const AllocationFailure& failure) {
    EXPECT_EQ(failure.message, "\nallocation failure 3 in c3tensor()");
  }
}

TEST(DataFile, AcceptsNamesAndLinesOfAnyLength) {
  std::string long_name(5000, 'v');
  Load r = load(file_without_grids("1 0 1 NA", long_name, {std::string(3000, 'w')}));
  ASSERT_FALSE(r.refused) << r.printed;
  EXPECT_EQ(r.data.var_names[1], long_name);
  EXPECT_EQ(r.data.state_names[1][1], std::string(3000, 'w'));
}

}  // namespace
}  // namespace kalveno
