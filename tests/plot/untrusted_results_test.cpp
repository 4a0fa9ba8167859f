// kalveno-plot on the program's own files, cut or edited as a full disk, a
// killed run or a hand would leave them: whatever it cannot trust it refuses
// with status 2 and a message naming the line, and draws nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "plot/plot_program.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// Where `marker` is first found at or after the first `after` (empty: from
// the start) in text; a marker that starts with a line feed is found at the
// line that follows it.
std::size_t place(const std::string& text, const std::string& after, const std::string& marker) {
  const std::size_t at = text.find(marker, after.empty() ? 0 : text.find(after));
  EXPECT_NE(at, std::string::npos) << marker;
  return at == std::string::npos ? text.size() : at + (marker.starts_with('\n') ? 1 : 0);
}

// The text before that place, and `keep` characters more.
std::string cut(const std::string& text, const std::string& after, const std::string& marker, std::size_t keep = 0) {
  return text.substr(0, place(text, after, marker) + keep);
}

// text with the first `from` after `after` replaced by `to`.
std::string edited(std::string text, const std::string& after, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from, after.empty() ? 0 : text.find(after));
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

// text with cell `cell` (0-based) of the line at `row` after `after` made value.
std::string with_cell(std::string text, const std::string& after, const std::string& row, int cell,
                      const std::string& value) {
  std::size_t start = place(text, after, row);
  for (int c = 0; c < cell; ++c) start = text.find('\t', start) + 1;
  return text.replace(start, text.find_first_of("\t\n", start) - start, value);
}

// The first n lines of text.
std::string first_lines(const std::string& text, int n) {
  std::size_t end = 0;
  for (int line = 0; line < n; ++line) end = text.find('\n', end) + 1;
  return text.substr(0, end);
}

// text without line n (1-based), or with it twice.
std::string without_line(const std::string& text, int n, bool twice = false) {
  const std::size_t start = first_lines(text, n - 1).size();
  const std::string line = text.substr(start, text.find('\n', start) + 1 - start);
  return text.substr(0, start) + (twice ? line + line : "") + text.substr(start + line.size());
}

struct Files {
  std::string results, values;
};

struct Untrusted {
  std::string what;
  bool maps;
  std::function<Files(const Files&)> edit;
  std::string message;  // empty: drawn as it is; "#" stands for the line found at `line`
  std::vector<std::string> line = {};  // after, marker in the results file as written
};

const char kTests[] = "Tests of spatial", kDetails[] = "Details of spatial", kObserved[] = "SPATIAL AUTO";
const char kCorrection[] = "(Holm's method) for the COMPLETE";

std::vector<Untrusted> untrusted_files() {
  using F = const Files&;
  return {
      {"the files as written", false, [](F f) { return f; }, ""},
      {"the maps as written", true, [](F f) { return f; }, ""},
      {"observed table cut after its first row", false,
       [](F f) { return Files{cut(f.results, kObserved, "\ncopper"), f.values}; },
       "line #: the table of Moran's I holds 1 of the 11 variables of the run", {"", kObserved}},
      {"test section without its last variable", false,
       [](F f) { return Files{cut(f.results, kTests, "\nlanduse\t"), f.values}; },
       "line #: the test section does not hold a row for each variable", {"", kTests}},
      {"correction cut inside a row", false,
       [](F f) { return Files{cut(f.results, kCorrection, "\nzinc\t", 5), f.values}; },
       "line #: it has 2 cells, not 12", {kCorrection, "\nzinc\t"}},
      {"correction without its rows", false,
       [](F f) { return Files{cut(f.results, kCorrection, "\ncadmium\t"), f.values}; },
       "line #: the correction does not hold a row for each variable", {"", kCorrection}},
      {"details without the last rows of a variable", false,
       [](F f) { return Files{cut(f.results, kDetails, "\n\t95% inf"), f.values}; },
       "line #: the details do not hold the four rows of each variable", {"", kDetails}},
      {"analytical tests cut", false,
       [](F f) { return Files{cut(f.results, "Analytical tests", "\nzinc\t"), f.values}; },
       "line #: the analytical tests do not hold the four rows", {"", "Analytical tests"}},
      {"correction of the test missing though the analytical tests have one", false,
       [](F f) { return Files{cut(f.results, kDetails, "\n\nCorrection across"), f.values}; },
       "line #: the correction of this test is missing", {"", kTests}},
      {"a Moran's I cell of text", false,
       [](F f) { return Files{with_cell(f.results, kObserved, "\ncadmium\t", 3, "abc"), f.values}; },
       "line #: cell 4, \"abc\", is no number as the program writes it", {kObserved, "\ncadmium\t"}},
      {"nan in the observed table where the test has a number", false,
       [](F f) { return Files{with_cell(f.results, kObserved, "\ncadmium\t", 3, "nan"), f.values}; },
       "line #: the value of class 2 is not that of the table of Moran's I", {kTests, "\ncadmium\t"}},
      {"nan as a pair count", false,
       [](F f) { return Files{with_cell(f.results, kObserved, "\n\tNumber of pairs", 2, "nan"), f.values}; },
       "line #: cell 3, \"nan\", is no number as the program writes it", {kObserved, "\n\tNumber of pairs"}},
      {"values cut to 96 samples", true, [](F f) { return Files{f.results, first_lines(f.values, 100)}; },
       "line 3 declares 155 samples, but 96 sample lines follow"},
      {"a sample line deleted", true, [](F f) { return Files{f.results, without_line(f.values, 40)}; },
       "line 3 declares 155 samples, but 154 sample lines follow"},
      {"a sample line twice", true, [](F f) { return Files{f.results, without_line(f.values, 40, true)}; },
       "line 41 repeats sample 37 of line 40"},
      {"the sample count edited", true,
       [](F f) { return Files{f.results, edited(f.values, "Settings", "\n155\t", "\n999\t")}; },
       "line 3 declares 999 samples, but 155 sample lines follow"},
      {"a quadrant of no such word", true,
       [](F f) { return Files{f.results, with_cell(f.values, "", "\n1\t", 7, "bogus")}; },
       "line 5: cell 8, \"bogus\", is no quadrant"},
      {"a quadrant changed to another", true,
       [](F f) { return Files{f.results, edited(f.values, "\n1\t", "not significant", "high-high")}; },
       "the file of values does not hold the quadrants of cadmium that line"},
      {"a value of text", true, [](F f) { return Files{f.results, with_cell(f.values, "", "\n1\t", 3, "abc")}; },
       "line 5: cell 4, \"abc\", is no number as the program writes it"},
      {"the results' table cut", true,
       [](F f) { return Files{cut(f.results, "LOCAL MORAN'S I", "\nom\t"), f.values}; },
       "the table counts 6 of the 7 variables of its file of values; the section is cut short"},
      {"a sample less on both sides of the values", true,
       [](F f) { return Files{f.results, edited(without_line(f.values, 40), "Settings", "\n155\t", "\n154\t")}; },
       "the file of values holds 154 samples, the run's data 155"},
  };
}

// The message of c, its line number found in the results as written.
std::string expected_message(const Untrusted& c, const std::string& results) {
  std::string message = c.message;
  if (c.line.empty()) return message;
  const std::size_t at = place(results, c.line[0], c.line[1]);
  const long line = 1 + std::count(results.begin(), results.begin() + static_cast<long>(at), '\n');
  return message.replace(message.find('#'), 1, std::to_string(line));
}

TEST(KalvenoPlot, RefusesWhatItCannotTrustNamingTheLine) {
  TempFolder made;
  made.write("in.txt", source_file("examples/meuse.txt"));
  ASSERT_EQ(run_kalveno(made.path(), {"--spatial", "-r", "99", "-d", "--adjust=holm", "--analytical", "in.txt",
                                      "spatial.txt"}, "").status, 0);
  ASSERT_EQ(run_kalveno(made.path(), {"--local-moran=400", "-r", "19", "--local-file=values.txt", "in.txt",
                                      "local.txt"}, "").status, 0);
  const Files spatial{made.read("spatial.txt"), ""}, local{made.read("local.txt"), made.read("values.txt")};
  for (const Untrusted& c : untrusted_files()) {
    SCOPED_TRACE(c.what);
    const Files files = c.edit(c.maps ? local : spatial);
    TempFolder folder;
    folder.write("results.txt", files.results);
    folder.write("values.txt", files.values);
    std::vector<std::string> args = {"results.txt", "out"};
    if (c.maps) args.insert(args.begin(), "--maps");
    const PlotRun run = run_kalveno_plot(folder.path(), args);
    if (c.message.empty()) {
      EXPECT_EQ(run.status, 0) << run.errors;
      // The width of the numbers is that of the run's variables.
      EXPECT_TRUE(folder.exists(c.maps ? "out/map_1_cadmium.svg" : "out/correlogram_01_cadmium.svg"));
      continue;
    }
    EXPECT_EQ(run.status, 2);
    EXPECT_NE(run.errors.find(expected_message(c, (c.maps ? local : spatial).results)), std::string::npos)
        << run.errors;
    EXPECT_FALSE(folder.exists("out")) << "a figure was drawn";
  }
}

}  // namespace
}  // namespace kalveno::testing
