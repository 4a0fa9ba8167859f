// kalveno-plot through the real binary: which files it writes where, what
// they hold, and what it refuses.
#include <algorithm>
#include <filesystem>

#include <gtest/gtest.h>

#include "plot/plot_program.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

std::string data_file(const std::string& name) { return source_file("tests/data/plot/" + name); }

// The SVG files of a folder, by name.
std::vector<std::string> svg_files(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().extension() == ".svg") names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

struct Drawing {
  std::string file;
  int points, bands, significant;
};

struct PlotCase {
  std::string results;
  std::vector<std::string> options;
  std::vector<Drawing> drawings;
};

// Every kind of results file, drawn into a folder of its own: the expected
// files, well-formed, with the expected number of points, bands and
// significant points.
TEST(KalvenoPlot, DrawsEachVariableOfEveryKindOfResultsFile) {
  const bool check_xml = have_xmllint();
  const std::vector<PlotCase> cases = {
      {"observed_only.txt", {}, {{"correlogram_1_cadmium.svg", 4, 0, 0}, {"correlogram_2_zinc.svg", 4, 0, 0},
                                 {"correlogram_3_ffreq.svg", 4, 0, 0}}},
      {"complete.txt", {}, {{"correlogram_1_cadmium.svg", 4, 0, 3}, {"correlogram_2_zinc.svg", 4, 0, 3},
                            {"correlogram_3_ffreq.svg", 4, 0, 2}}},
      {"complete_detailed.txt", {}, {{"correlogram_1_cadmium.svg", 4, 1, 3}, {"correlogram_2_zinc.svg", 4, 1, 4},
                                     {"correlogram_3_ffreq.svg", 4, 1, 2}}},
      {"complete_toroidal.txt", {}, {{"correlogram_1_ph.svg", 3, 1, 2}, {"correlogram_2_moisture.svg", 3, 1, 2}}},
      {"complete_toroidal.txt", {"--toroidal"}, {{"correlogram_1_ph.svg", 3, 1, 0},
                                                 {"correlogram_2_moisture.svg", 3, 1, 1}}},
      {"nan_classes.txt", {}, {{"correlogram_1_height.svg", 3, 3, 1}, {"correlogram_2_flat.svg", 0, 0, 0}}},
      {"several_runs.txt", {}, {{"correlogram_1_biomass.svg", 5, 0, 0}}},
      {"several_runs.txt", {"--run", "1"}, {{"correlogram_1_cadmium.svg", 4, 0, 2}, {"correlogram_2_zinc.svg", 4, 0, 3},
                                            {"correlogram_3_ffreq.svg", 4, 0, 1}}},
      {"odd_names.txt", {}, {{"correlogram_1_Cu_Zn_ppm_.svg", 2, 1, 1}, {"correlogram_2_.._.._etc_passwd.svg", 2, 1, 1},
                             {"correlogram_3_H_he.svg", 2, 1, 1}, {"correlogram_4_pH___value.svg", 2, 1, 1},
                             {"correlogram_5_a_b.svg", 2, 1, 1}, {"correlogram_6_a_b.svg", 2, 1, 1}}},
  };
  for (const PlotCase& c : cases) {
    SCOPED_TRACE(c.results + (c.options.empty() ? "" : " " + c.options[0]));
    TempFolder folder;
    folder.write("results.txt", data_file(c.results));
    std::vector<std::string> args = c.options;
    args.insert(args.end(), {"results.txt", "plots"});
    PlotRun run = run_kalveno_plot(folder.path(), args);
    ASSERT_EQ(run.status, 0) << run.errors;
    std::vector<std::string> expected;
    for (const Drawing& d : c.drawings) expected.push_back(d.file);
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(svg_files(folder.file("plots")), expected);
    for (const Drawing& d : c.drawings) {
      std::string svg = folder.read("plots/" + d.file);
      EXPECT_EQ(count_of(svg, "<circle class=\"point"), d.points) << d.file;
      EXPECT_EQ(count_of(svg, "<path class=\"band\""), d.bands) << d.file;
      EXPECT_EQ(count_of(svg, "<circle class=\"point significant\""), d.significant) << d.file;
      EXPECT_EQ(count_of(svg, "<line class=\"zero\""), 1) << d.file;
      if (check_xml) {
        EXPECT_EQ(xml_problems(folder.file("plots/" + d.file)), "") << d.file;
      }
    }
    EXPECT_EQ(folder.read("results.txt"), data_file(c.results));
  }
  if (!check_xml) GTEST_SKIP() << "xmllint is not installed (Debian package libxml2-utils): well-formedness unchecked";
}

TEST(KalvenoPlot, TitlesNameTheVariableTheTestAndTheUnits) {
  TempFolder folder;
  folder.write("results.txt", data_file("complete_toroidal.txt"));
  ASSERT_EQ(run_kalveno_plot(folder.path(), {"--toroidal", "--units", "km", "results.txt"}).status, 0);
  std::string svg = folder.read("correlogram_1_ph.svg");  // the current folder by default
  EXPECT_NE(svg.find(">ph: Moran's I correlogram<"), std::string::npos);
  EXPECT_NE(svg.find("WITHIN GROUP TOROIDAL randomization (999 replicates)"), std::string::npos);
  EXPECT_NE(svg.find(">Mean distance of class (km)<"), std::string::npos);
  EXPECT_NE(svg.find(">Moran's I - E(I)<"), std::string::npos);

  ASSERT_EQ(run_kalveno_plot(folder.path(), {"results.txt"}).status, 0);
  svg = folder.read("correlogram_1_ph.svg");
  EXPECT_NE(svg.find("COMPLETE randomization (999 replicates)"), std::string::npos);
  EXPECT_NE(svg.find(">Mean distance of class<"), std::string::npos);
}

TEST(KalvenoPlot, ResultsFileWithoutSpatialAnalysisIsRefused) {
  TempFolder folder;
  folder.write("results.txt", data_file("no_spatial.txt"));
  PlotRun run = run_kalveno_plot(folder.path(), {"results.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("holds no spatial autocorrelation analysis"), std::string::npos);
  EXPECT_TRUE(svg_files(folder.path()).empty());
  EXPECT_EQ(folder.read("results.txt"), data_file("no_spatial.txt"));

  for (const char* missing : {"absent.txt", "."}) {
    run = run_kalveno_plot(folder.path(), {missing});
    EXPECT_EQ(run.status, 2) << missing;
    EXPECT_NE(run.errors.find("cannot read the results file"), std::string::npos) << missing;
  }
}

TEST(KalvenoPlot, RunsOrTestsThatAreNotThereAreRefused) {
  TempFolder folder;
  folder.write("several.txt", data_file("several_runs.txt"));
  folder.write("complete.txt", data_file("complete.txt"));
  PlotRun run = run_kalveno_plot(folder.path(), {"--run", "3", "several.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("holds 2 spatial autocorrelation analyses; there is no number 3"), std::string::npos);
  run = run_kalveno_plot(folder.path(), {"--toroidal", "complete.txt"});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("has no toroidal test"), std::string::npos);
  EXPECT_TRUE(svg_files(folder.path()).empty());
}

TEST(KalvenoPlot, BadArgumentsAreRefusedAndInformationRequestsAnswered) {
  TempFolder folder;
  folder.write("complete.txt", data_file("complete.txt"));
  // The mistakes of the command line are worded as kalveno words them.
  const std::pair<std::vector<std::string>, std::string> refused[] = {
      {{}, "no results file given"},
      {{"--run", "0", "complete.txt"}, "invalid value '0' for --run: a whole number from 1 up is expected"},
      {{"--run=x", "complete.txt"}, "invalid value 'x' for --run: a whole number from 1 up is expected"},
      {{"--run"}, "option '--run' needs a value"},
      {{"--colour", "complete.txt"}, "unrecognized option '--colour'"},
      {{"--toroidal=1", "complete.txt"}, "option '--toroidal' takes no value"},
      {{"complete.txt", "a", "b"}, "too many file names"},
  };
  for (const auto& [args, problem] : refused) {
    PlotRun run = run_kalveno_plot(folder.path(), args);
    EXPECT_EQ(run.status, 2) << problem;
    EXPECT_EQ(run.errors, "kalveno-plot: " + problem + "\nTry 'kalveno-plot --help' for more information.\n");
  }
  PlotRun help = run_kalveno_plot(folder.path(), {"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_TRUE(help.output.starts_with("Usage: kalveno-plot [OPTION]... RESULTS_FILE [FOLDER]\n"));
  PlotRun version = run_kalveno_plot(folder.path(), {"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.output, "kalveno-plot (KALVENO 1.0)\n");
  EXPECT_TRUE(svg_files(folder.path()).empty());
}

// A results file can carry any name, even that of a drawing: it is never
// overwritten.
TEST(KalvenoPlot, NeverWritesOverTheResultsFile) {
  TempFolder folder;
  folder.write("correlogram_1_biomass.svg", data_file("several_runs.txt"));
  PlotRun run = run_kalveno_plot(folder.path(), {"correlogram_1_biomass.svg", "."});
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.errors.find("is the results file itself"), std::string::npos);
  EXPECT_EQ(folder.read("correlogram_1_biomass.svg"), data_file("several_runs.txt"));
}

TEST(KalvenoPlot, FolderThatCannotBeMadeEndsWithStatus5) {
  TempFolder folder;
  folder.write("results.txt", data_file("complete.txt"));
  PlotRun run = run_kalveno_plot(folder.path(), {"results.txt", "results.txt/plots"});
  EXPECT_EQ(run.status, 5);
  EXPECT_NE(run.errors.find("cannot make the folder"), std::string::npos);
}

}  // namespace
}  // namespace kalveno::testing
