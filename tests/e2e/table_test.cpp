// The tidy table (--table) through the real binary: its exact content on a
// small spatial and a small association run, checked by hand once against
// the results file; names that need quoting; and that the CSV readers of
// Python, pandas and R take it, where they are installed.
#include <gtest/gtest.h>

#include <cstdlib>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

struct TabledRun {
  TempFolder folder;
  ProgramRun run;
  TabledRun(const std::string& data, std::vector<std::string> options) {
    folder.write("in.txt", data);
    options.insert(options.end(), {"--table=t.csv", "in.txt", "out.txt"});
    run = run_kalveno(folder.path(), options, "");
  }
  std::string table() const { return folder.read("t.csv"); }
};

TEST(Table, OfASmallSpatialRun) {
  // Three variables, one of them without a value in class 1 (an empty field),
  // and the analytical tests of the two quantitative ones: depth, on three
  // samples, has no randomization variance.
  TabledRun t(source_file("tests/data/spatial_line.txt"), {"--spatial", "--analytical", "-r", "49"});
  EXPECT_EQ(t.run.status, 0);
  EXPECT_EQ(t.table(), source_file("tests/data/expected/spatial_line_table.csv"));
  EXPECT_TRUE(t.run.output.ends_with("\nNote: the results were written to \"out.txt\", the table to \"t.csv\".\n"));
}

TEST(Table, OfASmallAssociationRun) {
  TabledRun t(source_file("tests/data/assoc_plain.txt"), {"--association", "-r", "99"});
  EXPECT_EQ(t.run.status, 0);
  EXPECT_EQ(t.table(), source_file("tests/data/expected/assoc_plain_table.csv"));
}

TEST(Table, ADialogueRunWritesItToo) {
  TempFolder folder;
  folder.write("in.txt", source_file("tests/data/assoc_plain.txt"));
  run_kalveno(folder.path(), {"--table=t.csv", "in.txt", "out.txt"}, "2\n99\n\n");
  EXPECT_EQ(folder.read("t.csv"), source_file("tests/data/expected/assoc_plain_table.csv"));
}

// Variable and state names with commas and quotes, quoted as RFC 4180 says.
const char kOddNames[] = "odd\n4 0 3 NA\n0\nn\tx\ty\ta,b\tsay\"hi\"\t$s\n"
                         "p\t0\t0\t1\t2\tx,y\nq\t1\t0\t2\t1\tz\nr\t0\t1\t4\t3\tx,y\ns\t1\t1\t3\t5\tz\n";

TEST(Table, QuotesNamesWithCommasAndQuotes) {
  TabledRun t(kOddNames, {"--association"});
  EXPECT_EQ(t.run.status, 0);
  const std::string table = t.table();
  EXPECT_NE(table.find("\r\nassociation,observed,pearson_r,\"a,b\",\"say\"\"hi\"\"\",,"), std::string::npos) << table;
  EXPECT_NE(table.find("\r\nassociation,observed,state_mean,\"a,b\",s,\"x,y\","), std::string::npos) << table;
}

// A class bound is read in single precision: the table gives the float, not
// the digits of the double that holds it.
TEST(Table, WritesClassBoundsAsTheyWereRead) {
  TabledRun t("t\n3 0 1 NA\n1\t98.9949\nn\tx\ty\tv\na\t0\t0\t1\nb\t50\t0\t2\nc\t200\t0\t4\n", {"--spatial"});
  EXPECT_NE(t.table().find("\r\nspatial,observed,moran_i,v,,,1,98.9949,50,"), std::string::npos) << t.table();
}

bool available(const std::string& command) { return std::system((command + " >/dev/null 2>&1").c_str()) == 0; }

// Each reader must find 25 columns, the header's names and, in the odd-names
// table, the names back as they were.
TEST(Table, PythonPandasAndRReadIt) {
  TabledRun spatial(source_file("tests/data/spatial_line.txt"), {"--spatial", "-r", "49"});
  TabledRun odd(kOddNames, {"--association", "-r", "9"});
  const std::string tables = "'" + spatial.folder.file("t.csv") + "' '" + odd.folder.file("t.csv") + "'";
  int readers = 0;
  if (available("python3 -c 'import csv'")) {
    ++readers;
    EXPECT_EQ(std::system(("python3 -c 'import csv, sys\n"
                           "rows = [list(csv.reader(open(f, newline=\"\", encoding=\"utf-8\"))) for f in sys.argv[1:]]\n"
                           "assert all(len(r) == 25 for t in rows for r in t)\n"
                           "assert len(rows[0]) == 28 and rows[0][0][10] == \"observed\"\n"
                           "assert rows[1][1][3:5] == [\"a,b\", \"say\\\"hi\\\"\"]' " + tables)
                              .c_str()),
              0);
  }
  if (available("python3 -c 'import pandas'")) {
    ++readers;
    EXPECT_EQ(std::system(("python3 -c 'import pandas, sys\n"
                           "t = pandas.read_csv(sys.argv[1])\n"
                           "assert t.shape == (27, 25) and t[\"observed\"].isna().sum() == 5\n"
                           "assert pandas.read_csv(sys.argv[2])[\"variable\"][0] == \"a,b\"' " + tables)
                              .c_str()),
              0);
  }
  if (available("Rscript -e 1")) {
    ++readers;
    EXPECT_EQ(std::system(("Rscript -e 'f <- commandArgs(TRUE); t <- read.csv(f[1])\n"
                           "stopifnot(dim(t) == c(27, 25), sum(is.na(t$observed)) == 5,\n"
                           "          read.csv(f[2])$variable[1] == \"a,b\")' " + tables)
                              .c_str()),
              0);
  }
  if (readers == 0) GTEST_SKIP() << "neither Python nor R is installed";
}

}  // namespace
}  // namespace kalveno::testing
