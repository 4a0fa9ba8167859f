// Runs chosen by command-line options, through the real binary: each option
// set writes the very bytes the dialogue writes for the same answers, and
// each refused option ends the run with status 6, its message, and nothing
// written.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <set>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {


// Four samples on one 2 x 2 grid, one quantitative and one qualitative variable.
const char kGrid[] = "t\n4 1 2 NA\n2\t1\t2\nn\tx\ty\tgx\tgy\tv\t$c\n"
                     "a\t0\t0\t1\t1\t1\tA\nb\t1\t0\t2\t1\t2\tB\nc\t0\t1\t1\t2\t3\tA\nd\t1\t1\t2\t2\t4\tB\n";
// The same samples without the grid.
const char kPlain[] = "t\n4 0 2 NA\n2\t1\t2\nn\tx\ty\tv\t$c\n"
                      "a\t0\t0\t1\tA\nb\t1\t0\t2\tB\nc\t0\t1\t3\tA\nd\t1\t1\t4\tB\n";

struct Equivalent {
  std::string name;
  std::string data_file;             // of the source tree
  std::vector<std::string> options;  // before the two file names
  std::string answers;               // the dialogue's, after both file names
  bool earlier = false;              // both runs start with earlier results
  std::map<std::string, std::string> dialogue_env = {};
  std::vector<std::string> dialogue_options = {};  // run settings given to the dialogue run too
};

std::ostream& operator<<(std::ostream& out, const Equivalent& e) { return out << e.name; }

std::vector<Equivalent> equivalents() {
  return {
      {"SpatialObservedOnly", "tests/data/spatial_line.txt", {"--spatial"}, "1\n\n\n\n"},
      {"SpatialDistinctStatesIntervalBothDetailed", "tests/data/spatial_grid.txt",
       {"--spatial", "--pairs-by=habitat", "--distinct-states", "--interval=0,40", "-r", "-99", "-d"},
       "1\nhabitat\n2\n0 40\n-99\n1\n"},
      {"SpatialSameState", "tests/data/spatial_grid.txt", {"--spatial", "--pairs-by", "habitat", "--same-state", "-r99"},
       "1\nhabitat\n1\n\n99\n\n"},
      {"SpatialOneStateBothTests", "tests/data/spatial_grid.txt",
       {"--spatial", "--pairs-by=habitat", "--state=wet", "--randomizations=19", "-b"}, "1\nhabitat\n3\nwet\n\n-19\n\n"},
      {"SpatialTwoStatesClusteredShortOptions", "tests/data/spatial_grid.txt",
       {"--spatial", "--pairs-by=habitat", "--state=wet", "--state", "dry", "-bdr", "19"},
       "1\nhabitat\n4\nwet\ndry\n\n-19\n1\n"},
      {"AssociationToroidalOnGrids", "tests/data/assoc_grid.txt", {"--association", "-r", "99"}, "2\n99\n\n"},
      {"AssociationBothDetailed", "tests/data/assoc_grid.txt", {"--association", "--both-tests", "-r", "99", "--detailed"},
       "2\n-99\n1\n"},
      {"AssociationCompleteWithoutGrids", "tests/data/assoc_plain.txt", {"--association", "-qdr", "99"}, "2\n99\n1\n"},
      {"AssociationObservedAppendsByDefault", "tests/data/assoc_plain.txt", {"--association"}, "\n2\n\n", true},
      {"LocalMeans", "tests/data/spatial_line.txt", {"--local-means=1.5"}, "3\n1.5\n\n"},
      {"LocalMeansFocalSampleLeftOut", "tests/data/spatial_line.txt", {"--local-means", "-2"}, "3\n-2\n\n"},
      {"ReplaceEmptiesEarlierResults", "tests/data/spatial_line.txt", {"--replace", "--spatial", "-r", "9"},
       "e\n1\n\n\n9\n\n", true},
      {"SeedOptionWinsOverTheEnvironment", "tests/data/spatial_grid.txt", {"--spatial", "-r", "19", "--seed=7"},
       "1\n\n\n19\n\n", false, {{"KALVENO_SEED", "7"}}},
      {"GreatCircleAndChosenClassesAlsoWithTheDialogue", "tests/data/capitals.txt",
       {"--great-circle", "--classes=equal-count:4", "--spatial", "-r", "19"}, "1\n\n\n19\n\n", false, {},
       {"--great-circle", "--classes=equal-count:4"}},
  };
}

class OptionRuns : public ::testing::TestWithParam<Equivalent> {};

TEST_P(OptionRuns, WriteWhatTheDialogueWritesAndSayWhereItWent) {
  const Equivalent& e = GetParam();
  TempFolder asked, optioned;
  for (const TempFolder* folder : {&asked, &optioned}) {
    folder->write("in.txt", source_file(e.data_file));
    if (e.earlier) folder->write("out.txt", kEarlier);
  }
  std::vector<std::string> dialogue_args = e.dialogue_options;
  dialogue_args.insert(dialogue_args.end(), {"in.txt", "out.txt"});
  const ProgramRun dialogue = run_kalveno(asked.path(), dialogue_args, e.answers, e.dialogue_env);
  std::vector<std::string> args = e.options;
  args.insert(args.end(), {"in.txt", "out.txt"});
  // Answers on standard input must go unread.
  const ProgramRun options = run_kalveno(optioned.path(), args, "4\n1\n2\n");
  EXPECT_EQ(dialogue.status, 0) << dialogue.output;
  EXPECT_EQ(options.status, 0) << options.output << options.errors;
  EXPECT_EQ(optioned.read("out.txt"), asked.read("out.txt"));
  EXPECT_EQ(optioned.exists("newvar.txt"), asked.exists("newvar.txt"));
  EXPECT_EQ(optioned.read("newvar.txt"), asked.read("newvar.txt"));
  EXPECT_EQ(options.output.find("Enter"), std::string::npos) << "a question was asked";

  std::string last_line = "\nNote: the results were written to \"out.txt\"";
  if (optioned.exists("newvar.txt")) last_line += ", the local means to \"newvar.txt\"";
  last_line += ".\n";
  EXPECT_TRUE(options.output.ends_with(last_line)) << options.output;
  EXPECT_TRUE(dialogue.output.ends_with(last_line)) << dialogue.output;
}

INSTANTIATE_TEST_SUITE_P(Table, OptionRuns, ::testing::ValuesIn(equivalents()),
                         [](const ::testing::TestParamInfo<Equivalent>& info) { return info.param.name; });

// --new-variables=FILE takes the place of newvar.txt, in the folder it names.
TEST(OptionRuns, NewVariablesGoWhereTheOptionSays) {
  TempFolder folder;
  folder.write("in.txt", source_file("tests/data/spatial_line.txt"));
  std::filesystem::create_directory(folder.file("site"));
  const ProgramRun run = run_kalveno(folder.path(), {"--local-means=1.5", "--new-variables=site/means.txt", "in.txt",
                                                     "out.txt"}, "");
  EXPECT_EQ(run.status, 0) << run.errors;
  EXPECT_FALSE(folder.exists("newvar.txt"));
  EXPECT_NE(folder.read("site/means.txt").find("radius= 1.5"), std::string::npos) << folder.read("site/means.txt");
  EXPECT_TRUE(run.output.ends_with(", the local means to \"site/means.txt\".\n")) << run.output;
}

// Bounds given as --classes are the bounds of line 3: the same results file.
TEST(OptionRuns, ClassBoundsGivenAsAnOptionAreThoseOfTheDataFile) {
  TempFolder file, option;
  for (const TempFolder* folder : {&file, &option}) folder->write("in.txt", source_file("examples/meuse.txt"));
  run_kalveno(file.path(), {"--spatial", "-r", "99", "in.txt", "out.txt"}, "");
  const ProgramRun run = run_kalveno(
      option.path(), {"--spatial", "-r", "99", "--classes=370,600,770,960,1160,1400,1600,1900,2200,2700", "in.txt",
                      "out.txt"}, "");
  EXPECT_NE(run.output.find("Note: the 10 distance classes come from --classes=370,"), std::string::npos);
  EXPECT_EQ(option.read("out.txt"), file.read("out.txt"));
}

TEST(OptionRuns, QuietLeavesOutTheProgressMarksOnly) {
  TempFolder loud, quiet;
  for (const TempFolder* folder : {&loud, &quiet}) folder->write("in.txt", source_file("tests/data/spatial_grid.txt"));
  const ProgramRun marks = run_kalveno(loud.path(), {"--spatial", "-r", "99", "in.txt", "out.txt"}, "");
  const ProgramRun none = run_kalveno(quiet.path(), {"--spatial", "-r", "99", "--quiet", "in.txt", "out.txt"}, "");
  EXPECT_NE(marks.output.find(" 10 20 30"), std::string::npos);
  std::string without = marks.output;
  without.erase(without.find(" 1 2 3"), without.find("\nNote:") - without.find(" 1 2 3"));
  EXPECT_EQ(none.output, without);
}

TEST(OptionRuns, OptionsWinOverInvalidEnvironmentVariablesWithoutWarning) {
  TempFolder folder;
  folder.write("in.txt", kGrid);
  const ProgramRun run = run_kalveno(folder.path(), {"--spatial", "--seed=3", "--threads=1", "in.txt", "out.txt"}, "",
                                     {{"KALVENO_SEED", "x"}, {"KALVENO_THREADS", "0"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output.find("Warning: KALVENO_"), std::string::npos) << run.output;
  EXPECT_EQ(run.output.find("Note: the clock"), std::string::npos);
  // The clock's seed is named only when something is randomized.
  const ProgramRun observed = run_program(KALVENO_BINARY, folder.path(), {"--spatial", "in.txt", "out.txt"}, "");
  EXPECT_EQ(observed.output.find("Note: the clock"), std::string::npos) << observed.output;
}

// Without a seed from the environment or an option, the console names the
// clock's seed; given back as --seed it repeats the run to the byte.
TEST(OptionRuns, TheClockSeedThatTheConsoleNamesRepeatsTheRun) {
  TempFolder first, again;
  for (const TempFolder* folder : {&first, &again}) folder->write("in.txt", source_file("tests/data/spatial_grid.txt"));
  const std::vector<std::string> args = {"--spatial", "-r", "19", "in.txt", "out.txt"};
  const ProgramRun clocked = run_program(KALVENO_BINARY, first.path(), args, "", {{"KALVENO_THREADS", "2"}});
  const std::string note = "\nNote: the clock seeded this run with ";
  const std::size_t at = clocked.output.find(note);
  ASSERT_NE(at, std::string::npos) << clocked.output;
  const std::string seed = clocked.output.substr(at + note.size(), clocked.output.find(';', at) - at - note.size());
  EXPECT_NE(clocked.output.find("; KALVENO_SEED=" + seed + " or --seed=" + seed + " repeats it.\n"), std::string::npos);
  std::vector<std::string> seeded = args;
  seeded.insert(seeded.begin(), "--seed=" + seed);
  run_kalveno(again.path(), seeded, "");
  EXPECT_EQ(again.read("out.txt"), first.read("out.txt"));
}

// --adjust and --analytical add their sections and notes and change no other
// byte of the results; the analytical tests are the same on any number of
// threads.
TEST(OptionRuns, CorrectionAndAnalyticalTestsOnlyAddTheirSections) {
  TempFolder plain, one, three;
  for (const TempFolder* folder : {&plain, &one, &three}) folder->write("in.txt", source_file("examples/meuse.txt"));
  run_kalveno(plain.path(), {"--spatial", "-r", "199", "in.txt", "out.txt"}, "");
  const std::vector<std::string> added = {"--spatial", "-r", "199", "--adjust=progressive", "--analytical", "in.txt",
                                          "out.txt"};
  const ProgramRun run = run_kalveno(one.path(), added, "", {{"KALVENO_THREADS", "1"}});
  run_kalveno(three.path(), added, "", {{"KALVENO_THREADS", "3"}});
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(one.read("out.txt"), three.read("out.txt"));
  EXPECT_NE(run.output.find("\nNote: the analytical tests concern the quantitative variables; the qualitative ones "
                            "(ffreq soil lime landuse) are tested by randomization only."),
            std::string::npos);
  EXPECT_NE(run.output.find("\nNote: under the progressive correction class 6 to 10 of the correlogram cannot reach "
                            "P <= 0.05 with 199 randomizations; all 10 classes need at least 399."),
            std::string::npos);

  std::string results = one.read("out.txt");
  const std::string sections[] = {
      "\n\nAnalytical tests of Moran's I; Ho: no spatial autocorrelation\n",
      "\n\nCorrection across the distance classes of each correlogram (progressive Bonferroni, class c judged at "
      "alpha/c) for the analytical test under the NORMALITY assumption\n",
      "\n\nCorrection across the distance classes of each correlogram (progressive Bonferroni, class c judged at "
      "alpha/c) for the analytical test under the RANDOMIZATION assumption\n",
      "\n\nCorrection across the distance classes of each correlogram (progressive Bonferroni, class c judged at "
      "alpha/c) for the COMPLETE randomization test (199 replicates)\n"};
  for (const std::string& heading : sections) {
    const std::size_t at = results.find(heading);
    ASSERT_NE(at, std::string::npos) << heading;
    results.erase(at, results.find("\n\n", at + 2) - at);
  }
  EXPECT_EQ(results, plain.read("out.txt"));
  EXPECT_NE(one.read("out.txt").find("\ncadmium\tz normality\t8.500584 ***\t1.214977\t"), std::string::npos);

  const ProgramRun holm = run_kalveno(one.path(), {"--spatial", "-r", "99", "--adjust=holm", "in.txt", "out.txt"}, "");
  EXPECT_NE(holm.output.find("\nNote: after Holm's correction no class of a correlogram of 10 classes can reach "
                             "P <= 0.05 with 99 randomizations; that needs at least 399."),
            std::string::npos);
  EXPECT_NE(one.read("out.txt").find("correlogram (Holm's method) for the COMPLETE randomization test (99 "
                                     "replicates)\n"),
            std::string::npos);
}

struct Refusal {
  std::string name;
  std::vector<std::string> args;  // the whole command line
  std::string message;            // after "kalveno: "
  const char* data = kGrid;
};

std::ostream& operator<<(std::ostream& out, const Refusal& r) { return out << r.name; }

std::vector<Refusal> refusals() {
  const std::string files[] = {"in.txt", "out.txt"};
  auto with_files = [&](std::vector<std::string> options) {
    options.insert(options.end(), std::begin(files), std::end(files));
    return options;
  };
  return {
      {"UnknownOption", with_files({"--spacial"}), "unrecognized option '--spacial'"},
      {"UnknownShortOption", with_files({"-x"}), "invalid option '-x'"},
      {"ValueGivenToAFlag", with_files({"--spatial=yes"}), "option '--spatial' takes no value"},
      {"MissingValue", {"--spatial", "in.txt", "out.txt", "--seed"}, "option '--seed' needs a value"},
      {"MissingShortValue", {"--spatial", "in.txt", "out.txt", "-r"}, "option '-r' needs a value"},
      {"CountNotANumber", with_files({"--spatial", "-r", "12x"}),
       "invalid value '12x' for -r: a whole number from 0 to 100000 is expected (from -100000 to -2: both tests)"},
      {"CountMinusOne", with_files({"--association", "--randomizations=-1"}),
       "invalid value '-1' for --randomizations: a whole number from 0 to 100000 is expected (from -100000 to -2: "
       "both tests)"},
      {"CountBeyondTheLimit", with_files({"--spatial", "-r", "100001"}),
       "invalid value '100001' for -r: a whole number from 0 to 100000 is expected (from -100000 to -2: both tests)"},
      {"SeedOutOfRange", with_files({"--spatial", "--seed=0"}),
       "invalid value '0' for --seed: a whole number from 1 to 2147483646 is expected"},
      {"ThreadsOutOfRange", with_files({"--spatial", "-j", "1025"}),
       "invalid value '1025' for -j: a whole number from 1 to 1024 is expected"},
      {"RadiusNotANumber", with_files({"--local-means=near"}),
       "invalid value 'near' for --local-means: a distance is expected (negative: the focal sample left out)"},
      {"IntervalInverted", with_files({"--spatial", "--interval=5,2"}),
       "invalid value '5,2' for --interval: MIN,MAX is expected, two distances with 0 <= MIN <= MAX"},
      {"IntervalOfOneNumber", with_files({"--spatial", "--interval=5"}),
       "invalid value '5' for --interval: MIN,MAX is expected, two distances with 0 <= MIN <= MAX"},
      {"TwoAnalyses", with_files({"--spatial", "--association"}), "--association: one analysis per run (--spatial was given)"},
      {"TestOptionWithoutAnalysis", with_files({"-r", "99"}), "-r needs --spatial, --association or --local-moran"},
      {"TestOptionWithLocalMeans", with_files({"--local-means=2", "-d"}),
       "-d applies to a tested analysis, not to --local-means"},
      {"SpatialOptionWithAssociation", with_files({"--association", "--pairs-by=c", "--same-state"}),
       "--pairs-by applies to --spatial only, not to --association"},
      {"PairsByWithoutSelection", with_files({"--spatial", "--pairs-by=c"}),
       "--pairs-by=c needs --same-state, --distinct-states or --state"},
      {"SelectionWithoutPairsBy", with_files({"--spatial", "--same-state"}),
       "--same-state needs --pairs-by, the qualitative variable whose states select the pairs"},
      {"TwoSelections", with_files({"--spatial", "--pairs-by=c", "--same-state", "--state=A"}),
       "--state: one pair selection only (--same-state was given)"},
      {"TheSameStateTwice", with_files({"--spatial", "--pairs-by=c", "--state=A", "--state=A"}),
       "--state=A: the second state must differ from the first"},
      {"ThreeStates", with_files({"--spatial", "--pairs-by=c", "--state=A", "--state=B", "--state=A"}),
       "--state: at most two states select pairs"},
      {"ClassesNotARule", with_files({"--spatial", "--classes=equal-count:0"}),
       "invalid value 'equal-count:0' for --classes: equal-count:C, equal-width:C or sturges is expected, each "
       "optionally followed by ,MAX (C from 1 to 1000 classes, MAX a distance above 0 and at most 3.4028235e+38), "
       "or the upper bounds themselves, increasing distances above 0 (370,600,770)"},
      {"ClassBoundsNotIncreasing", with_files({"--spatial", "--classes=2,1"}),
       "invalid value '2,1' for --classes: equal-count:C, equal-width:C or sturges is expected, each optionally "
       "followed by ,MAX (C from 1 to 1000 classes, MAX a distance above 0 and at most 3.4028235e+38), or the upper "
       "bounds themselves, increasing distances above 0 (370,600,770)"},
      {"ClassesMaxBeyondSinglePrecision", with_files({"--spatial", "--classes=equal-count:3,1e39"}),
       "invalid value 'equal-count:3,1e39' for --classes: 1e39 is out of range (a number is at most 3.4028235e+38 "
       "in size)"},
      {"RadiusBeyondSinglePrecision", with_files({"--local-moran=1e400"}),
       "invalid value '1e400' for --local-moran: 1e400 is out of range (a number is at most 3.4028235e+38 in size)"},
      {"OneValueGivenTwice", with_files({"--local-moran=5", "--local-moran=6"}),
       "--local-moran given twice ('5', then '6'): it takes one value"},
      {"CountGivenTwice", with_files({"--spatial", "-r", "9", "--randomizations=99"}),
       "--randomizations given twice ('9', then '99'): it takes one value"},
      {"ClassesWithAssociation", with_files({"--association", "--classes=sturges"}),
       "--classes=sturges applies to --spatial only, not to --association"},
      {"UnknownAdjustment", with_files({"--spatial", "--adjust=bonferroni"}),
       "invalid value 'bonferroni' for --adjust: none, holm or progressive is expected"},
      {"AnalyticalWithAssociation", with_files({"--association", "--analytical"}),
       "--analytical applies to --spatial only, not to --association"},
      {"TableOfLocalMeans", with_files({"--local-means=2", "--table=t.csv"}),
       "--table: local means have no statistics to tabulate (they are written to the new-variables file)"},
      {"NewVariablesOfASpatialRun", with_files({"--spatial", "--new-variables=n.txt"}),
       "--new-variables applies to --local-means only, not to --spatial"},
      {"LocalMoranNegativeRadius", with_files({"--local-moran=-5"}),
       "invalid value '-5' for --local-moran: a distance of 0 or more is expected"},
      {"LocalMoranBothTests", with_files({"--local-moran=2", "-r", "-9"}),
       "-r: --local-moran has no toroidal test (its test is the conditional randomization)"},
      {"LocalMoranDetailed", with_files({"--local-moran=2", "-dr9"}), "-d: --local-moran has no detailed report"},
      {"LocalFileWithoutLocalMoran", with_files({"--spatial", "--local-file=v.txt"}),
       "--local-file applies to --local-moran only, not to --spatial"},
      {"LocalFileIsTheDataFile", with_files({"--local-moran=2", "--local-file", "./in.txt"}),
       "--local-file=./in.txt: that is the data file of this run"},
      {"LocalFileIsTheTable", with_files({"--local-moran=2", "--table=t.csv", "--local-file=t.csv"}),
       "--local-file=t.csv: that is the table file of this run"},
      {"AnalysisWithoutResultsFile", {"--spatial", "in.txt"},
       "--spatial needs the data file and the results file: kalveno [OPTION]... DATA_FILE RESULTS_FILE"},
      {"ExtraOperand", {"--association", "in.txt", "out.txt", "more.txt"}, "extra operand 'more.txt'"},
      // Checked against the data, before the results file is touched.
      {"PairsByAQuantitativeVariable", with_files({"--spatial", "--pairs-by=v", "--same-state"}),
       "--pairs-by=v: no qualitative variable of that name (those of the data: c)"},
      {"StateTheVariableLacks", with_files({"--replace", "--spatial", "--pairs-by=c", "--state=Z"}),
       "--state=Z: no such state of c (its states: A B)"},
      {"BothTestsWithoutGrids", with_files({"--spatial", "-b", "-r", "9", "--replace"}),
       "-b: the toroidal test needs sampling grids, and the data file declares none", kPlain},
      {"NegativeCountWithoutGrids", with_files({"--association", "-r", "-9"}),
       "-r: the toroidal test needs sampling grids, and the data file declares none", kPlain},
      {"ResultsFileIsTheDataFile", {"--spatial", "in.txt", "./in.txt"},
       "the results file './in.txt' is the data file itself"},
      {"TableIsTheResultsFile", with_files({"--spatial", "--table=./out.txt"}),
       "--table=./out.txt: that is the results file of this run"},
      {"TableIsTheDataFile", with_files({"--association", "--table", "in.txt"}),
       "--table=in.txt: that is the data file of this run"},
      {"NewVariablesFileIsTheResultsFile", with_files({"--local-means=1", "--new-variables=out.txt"}),
       "--new-variables=out.txt: that is the results file of this run"},
  };
}

class RefusedOptions : public ::testing::TestWithParam<Refusal> {};

TEST_P(RefusedOptions, EndWithStatusSixTheirMessageAndNothingWritten) {
  const Refusal& r = GetParam();
  TempFolder folder;
  folder.write("in.txt", r.data);
  folder.write("out.txt", kEarlier);
  const ProgramRun run = run_kalveno(folder.path(), r.args, "");
  EXPECT_EQ(run.status, 6) << run.output << run.errors;
  EXPECT_EQ(run.errors, "kalveno: " + r.message + "\nTry 'kalveno --help' for more information.\n");
  EXPECT_EQ(folder.read("out.txt"), kEarlier);
  EXPECT_EQ(folder.read("in.txt"), r.data);
  EXPECT_EQ(folder.names(), (std::set<std::string>{"in.txt", "out.txt"}));
}

INSTANTIATE_TEST_SUITE_P(Table, RefusedOptions, ::testing::ValuesIn(refusals()),
                         [](const ::testing::TestParamInfo<Refusal>& info) { return info.param.name; });

// A dialogue run refused once the names are settled (an output of its
// options that cannot be written) neither makes the results file nor
// empties it, even after the answer 'e'.
TEST(RefusedOptions, ADialogueRunRefusedLeavesTheResultsFileAsItWas) {
  for (const std::string answers : {"in.txt\nout.txt\n", "in.txt\nout.txt\ne\n"}) {
    TempFolder folder;
    folder.write("in.txt", kGrid);
    const bool earlier = answers.ends_with("e\n");
    if (earlier) folder.write("out.txt", kEarlier);
    const ProgramRun run = run_kalveno(folder.path(), {"--table=nowhere/t.csv"}, answers);
    EXPECT_EQ(run.status, 6) << run.output << run.errors;
    if (earlier)
      EXPECT_EQ(folder.read("out.txt"), kEarlier);
    else
      EXPECT_FALSE(folder.exists("out.txt"));
  }
}

TEST(RefusedOptions, ADataFileThatCannotBeReadEndsWithStatusTwoAndCreatesNoResults) {
  TempFolder folder;
  const ProgramRun run = run_kalveno(folder.path(), {"--spatial", "missing.txt", "out.txt"}, "");
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.output.find("\nWARNING: Cannot open data file \"missing.txt\".\n"), std::string::npos);
  EXPECT_FALSE(folder.exists("out.txt"));
}

}  // namespace
}  // namespace kalveno::testing
