// Every kind of data file and answer the program refuses, through the real
// binary: the message it prints and its exit status, one case per row of the
// README's table of bad inputs. Each run starts with a results file that
// already holds earlier results, kept by the first answer: whatever happens,
// that content must still be there, byte for byte.
#include <gtest/gtest.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <set>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {


// Four samples on one 2 x 2 grid, one quantitative and one qualitative variable.
const char kGood[] = "t\n4 1 2 NA\n2\t1\t2\nn\tx\ty\tgx\tgy\tv\t$c\n"
                     "a\t0\t0\t1\t1\t1\tA\nb\t1\t0\t2\t1\t2\tB\nc\t0\t1\t1\t2\t3\tA\nd\t1\t1\t2\t2\t4\tB\n";

// A data file without grids: header lines 2 to 4 as given, then the samples.
std::string data(const std::string& counts, const std::string& classes, const std::string& names,
                 const std::string& samples) {
  return "title\n" + counts + "\n" + classes + "\n" + names + "\n" + samples;
}

// N samples and V quantitative variables on C distance classes: enough
// variables and classes that the replicates of 100000 randomizations cannot
// be stored on any machine.
std::string wide_data(int n_variables, int n_classes) {
  std::string text = "wide\n3 0 " + std::to_string(n_variables) + " NA\n" + std::to_string(n_classes);
  for (int c = 1; c <= n_classes; ++c) text += "\t" + std::to_string(c);
  text += "\nn\tx\ty";
  for (int v = 1; v <= n_variables; ++v) text += "\tv" + std::to_string(v);
  for (int i = 1; i <= 3; ++i) {
    text += "\ns" + std::to_string(i) + "\t" + std::to_string(i) + "\t0";
    for (int v = 1; v <= n_variables; ++v) text += "\t" + std::to_string((i * v) % 7);
  }
  return text + "\n";
}

struct BadInput {
  std::string name;
  std::string data;
  std::string answers;   // those that follow the answer keeping the earlier results
  std::string message;   // printed by the program
  std::string key;       // the fixed part of the message, as the README's table shows it
  int status;
  std::map<std::string, std::string> env = {};
  std::vector<std::string> folders = {};  // names taken by folders, so that no file can be opened under them
  std::string in_results = {};            // written into the results file, when given
  std::vector<std::string> options = {};  // before the file names
};

std::ostream& operator<<(std::ostream& out, const BadInput& input) { return out << input.name; }

// text without the line ends around it.
std::string trim(const std::string& text) {
  const std::size_t first = text.find_first_not_of('\n'), last = text.find_last_not_of('\n');
  return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

const std::string kNamesOk = "n\tx\ty\ta";

std::vector<BadInput> bad_inputs() {
  return {
      {"LineTwoWithoutFourElements", data("3 0 1", "0", kNamesOk, ""),
       "\n", "\n\nWARNING: 4 elements expected on second line of the data file - not found",
       "4 elements expected on second line of the data file - not found", 2},
      {"NegativeCount", data("-3 0 1 NA", "0", kNamesOk, ""), "\n",
       "\n\nWARNING: the numbers of samples, grids and variables on second line of the data file must be whole "
       "numbers from 0 to 2147483647",
       "the numbers of samples, grids and variables on second line of the data file must be whole numbers from 0 "
       "to 2147483647", 2},
      {"MoreGridsThanSamples", data("1 2 1 NA", "0", "n\tx\ty\tg\tgx\tgy\ta", "s\t0\t0\tA\t1\t1\t1\n"), "\n",
       "\n\nWARNING: 2 grids declared on second line of the data file for only 1 samples",
       "grids declared on second line of the data file for only", 2},
      {"NoNumberOfClasses", data("1 0 1 NA", "classes", kNamesOk, "s\t0\t0\t1\n"), "\n",
       "\n\nWARNING: the number of distance classes (a whole number of 0 or more) expected at the start of third "
       "line of the data file - not found",
       "the number of distance classes (a whole number of 0 or more) expected at the start of third line of the "
       "data file - not found", 2},
      {"FewerClassBounds", data("1 0 1 NA", "3\t10\t20", kNamesOk, "s\t0\t0\t1\n"), "\n",
       "\n\nWARNING: 3 upper bounds of distance classes expected on third line of the data file, 2 found",
       "upper bounds of distance classes expected on third line of the data file", 2},
      {"ClassBoundNotANumber", data("1 0 1 NA", "2\t10\tfar", kNamesOk, "s\t0\t0\t1\n"), "\n",
       "\n\nWARNING: cannot read the upper bound of distance class 2 on third line of the data file",
       "cannot read the upper bound of distance class", 2},
      {"FewerVariableNames", data("1 0 2 NA", "0", kNamesOk, "s\t0\t0\t1\t2\n"), "\n",
       "\n\nWARNING: 2 variable names expected on fourth line of the data file, 1 found",
       "variable names expected on fourth line of the data file", 2},
      {"VariableWithoutName", data("1 0 1 NA", "0", "n\tx\ty\t#", "s\t0\t0\t1\n"), "\n",
       "\n\nWARNING: no name for variable 1 on fourth line of the data file",
       "on fourth line of the data file", 2},
      {"FewerSampleLines", data("3 0 1 NA", "0", kNamesOk, "s\t0\t0\t1\n"), "\n",
       "\n\nWARNING: 3 sample lines expected in the data file (second line), 1 found",
       "sample lines expected in the data file (second line)", 2},
      {"SampleLineStopsEarly", data("1 0 2 NA", "0", "n\tx\ty\ta\tb", "s\t0\t0\t1\n"), "\n",
       "\n\nWARNING: sample 1 (\"s\", line 5 of the data file) ends before its cell of variable 2 (b)",
       "ends before its cell of variable", 2},
      {"EmptyVariableCell", data("2 0 2 NA", "0", "n\tx\ty\ta\tb", "s\t0\t0\t1\t2\nt\t1\t0\t \t2\n"), "\n",
       "\n\nWARNING: no empty cell allowed in the data file. Check sample 2 (\"t\", line 6 of the data file), "
       "variable 1 (a)",
       "no empty cell allowed in the data file. Check sample", 2},
      {"SampleWithoutName", data("1 0 1 NA", "0", kNamesOk, "\t0\t0\t1\n"), "\n",
       "\n\nWARNING: no sample name for sample 1 (line 5 of the data file)", "no sample name for sample", 2},
      {"CoordinateNotANumber", data("1 0 1 NA", "0", kNamesOk, "s\tNA\t0\t1\n"), "\n",
       "\n\nWARNING: cannot read the x coordinate of sample 1 (\"s\", line 5 of the data file): a number is "
       "expected",
       "coordinate of sample", 2},
      {"LatitudeBeyondAPole", data("2 0 1 NA", "0", "n\tlon\tlat\ta", "p\t2.35\t48.86\t1\nq\t0\t-91\t2\n"), "\n",
       "\n\nWARNING: sample 2 (\"q\", line 6 of the data file) has a latitude (y) of -91: great-circle distances take "
       "latitudes from -90 to 90 degrees",
       "great-circle distances take latitudes from -90 to 90 degrees", 2, {}, {}, {}, {"--great-circle"}},
      {"LongitudeBeyondAFullTurn", data("1 0 1 NA", "0", "n\tlon\tlat\ta", "p\t361\t0\t1\n"), "\n",
       "\n\nWARNING: sample 1 (\"p\", line 5 of the data file) has a longitude (x) of 361: great-circle distances take "
       "longitudes from -180 to 360 degrees",
       "great-circle distances take longitudes from -180 to 360 degrees", 2, {}, {}, {}, {"--great-circle"}},
      {"GridWithoutName",
       data("2 2 1 NA", "0", "n\tx\ty\tg\tgx\tgy\ta", "s\t0\t0\t\t1\t1\t1\nt\t1\t0\tA\t1\t1\t1\n"), "\n",
       "\n\nWARNING: no grid name for sample 1 (\"s\", line 5 of the data file)", "no grid name for sample", 2},
      {"GridPositionNotAWholeNumber", data("1 1 1 NA", "0", "n\tx\ty\tgx\tgy\ta", "s\t0\t0\t1.5\t1\t1\n"), "\n",
       "\n\nWARNING: cannot read the grid X position of sample 1 (\"s\", line 5 of the data file): a whole number of "
       "0 or more is expected",
       "a whole number of 0 or more is expected", 2},
      {"TooManyGridNames",
       data("3 2 1 NA", "0", "n\tx\ty\tg\tgx\tgy\ta",
            "s\t0\t0\tA\t1\t1\t1\nt\t1\t0\tB\t1\t1\t1\nu\t2\t0\tC\t1\t1\t1\n"),
       "\n",
       "\n\nWARNING: too many grid names: sample 3 (\"u\", line 7 of the data file) names grid \"C\", beyond the 2 "
       "grids declared on second line",
       "too many grid names", 2},
      {"MarkedQuantitativeCellNotANumber", data("2 0 1 NA", "0", "n\tx\ty\t#a", "s\t0\t0\t1\nt\t1\t0\tabc\n"), "\n",
       "\n\nWARNING: cannot read the quantitative variable 1 (a) for sample 2 (\"t\", line 6 of the data file)",
       "cannot read the quantitative variable", 2},
      {"NumberBeyondSinglePrecision", data("2 0 1 NA", "0", kNamesOk, "s\t0\t0\t1\nt\t1\t0\t4e38\n"), "\n",
       "\n\nWARNING: the quantitative variable 1 (a) for sample 2 (\"t\", line 6 of the data file) is beyond the "
       "single-precision range",
       "is beyond the single-precision range", 2},
      {"NewvarCannotBeOpened", kGood, "3\n1\n",
       "\nWARNING: Cannot open file \"newvar.txt\".\nIf it is being used by another application, close it first. "
       "Then press RETURN.\n\nStopped: newvar.txt cannot be opened, and without a terminal no key press can say "
       "when to try again.\n",
       "Stopped: newvar.txt cannot be opened", 4, {}, {"newvar.txt"}},
      {"UnknownClassNameUntilTheAnswersEnd", kGood, "1\nc\n3\nZ\n",
       "\n\"Z\" is not recognized as a class name; it must be one of the following name:\n  A  B\nEnter the name of "
       "the selected class : \nStopped: input ended before a class name was given.\n",
       "Stopped: input ended before a class name was given.", 4},
      {"UnknownPairVariable", kGood, "1\nv\n\n\n\n",
       "\nVariable not recognized. List of qualitative variables:   c\n", "Variable not recognized", 0},
      {"BadDistanceInterval", kGood, "1\n\n5 2\n-1 3\n7\nx y\n\n\n",
       "otherwise press RETURN\n\n\nTo restrict the regression", "To restrict the regression", 0},
      {"ReplicatesBeyondMemorySpatial", wide_data(1000, 250), "1\n\n\n100000\n\n",
       "\nallocation failure 3 in f3tensor()\nNote: the values of 100000 randomizations of 1000 variables in 250 "
       "distance classes need more memory than this machine has; ask for fewer randomizations",
       "allocation failure 3 in f3tensor()", 1},
      {"ReplicatesBeyondMemoryAssociation", wide_data(500, 0), "2\n100000\n\n",
       "\nallocation failure 3 in f3tensor()\nNote: the values of 100000 randomizations of the coefficients between "
       "500 variables need more memory than this machine has; ask for fewer randomizations",
       "allocation failure 3 in f3tensor()", 1},
      {"ErrorLogCannotBeWritten", wide_data(500, 0), "2\n100000\n\n",
       "\nallocation failure 3 in f3tensor()error in writing \nallocation failure 3 in f3tensor() : cannot open file",
       "error in writing", 3, {}, {"error.txt"}},
      // Read as something else than what was written: refused, or read with a warning.
      {"CoordinateWithADecimalComma", data("1 0 1 NA", "0", kNamesOk, "s\t0\t3,5\t1\n"), "\n",
       "\n\nWARNING: cannot read the y coordinate of sample 1 (\"s\", line 5 of the data file): a number is "
       "expected",
       "a coordinate that is empty, missing or not entirely a number", 2},
      {"CountNotAWholeNumber", data("11.5 0 1 NA", "0", kNamesOk, ""), "\n",
       "\n\nWARNING: the numbers of samples, grids and variables on second line of the data file must be whole "
       "numbers from 0 to 2147483647",
       "a count on line 2 that is negative, oversized or not entirely a whole number", 2},
      {"VariableReadByItsLeadingNumber", data("3 0 1 NA", "0", kNamesOk, "s\t0\t0\t1\nt\t1\t0\t3,5\nu\t2\t0\t4,5\n"),
       "4\n",
       "\nWarning: variable 1 (a) reads \"3,5\" of sample 2 (\"t\", line 6 of the data file) as 3: only the number at "
       "the start of a cell is read, and numbers take a decimal point.\n",
       "reads \"3,5\" of sample I (\"NAME\", line N of the data file) as 3", 0},
      {"ClassBoundsNotIncreasing", data("2 0 1 NA", "3\t10\t5\t20", kNamesOk, "s\t0\t0\t1\nt\t1\t0\t2\n"), "4\n",
       "\nWarning: the upper bound of distance class 2 (5) on third line of the data file is not above that of class "
       "1 (10): the bounds are expected in increasing order, and class 2 gets no pair.\n",
       "is not above that of class", 0},
      {"GridPositionFarBeyondTheSamples",
       data("4 1 1 NA", "0", "n\tx\ty\tgx\tgy\ta",
            "a\t0\t0\t1\t1\t1\nb\t1\t0\t2\t1\t2\nc\t0\t1\t1\t2\t3\nd\t1\t1\t99999\t2\t4\n"),
       "4\n",
       "\nWarning: lack sample for group 1, X=12, Y=1\nWarning: 199974 more grid cells lack a sample (not listed); "
       "check the grid positions of the data file.\n",
       "more grid cells lack a sample (not listed)", 0},
      {"GridBeyondMemory", data("1 1 1 NA", "0", "n\tx\ty\tgx\tgy\ta", "a\t0\t0\t2147483647\t1\t1\n"), "4\n",
       "\nallocation failure 3 in f3tensor()\nNote: grids of up to 2147483647 columns (grid X) and 1 rows (grid Y) need "
       "more memory than this machine has; check the grid positions of the data file, which count cells from 1.",
       "grids of up to N columns (grid X) and M rows (grid Y) need more memory", 1},
      // Answers that are asked again, or that skip an analysis or a test, say so.
      {"PairSelectionUntilTheAnswersEnd", kGood, "1\nc\n5\nx\n",
       "\nAnswer 1, 2, 3 or 4.\nDo you want to select pairs of\n  1-same class\n  2-distinct classes\n  3-the same "
       "given class\n  4-two given distinct classes\n\nStopped: input ended before the kind of sample pairs (1 to 4) "
       "was given.\n",
       "Stopped: input ended before the kind of sample pairs (1 to 4) was given.", 4},
      {"SecondClassEqualToTheFirst", kGood, "1\nc\n4\nA\nA\nB\n\n\n",
       "\nThe second class must differ from the first, \"A\".\nEnter the name of the second selected class : ",
       "The second class must differ from the first", 0, {}, {},
       "Sample pairs considered: samples with distinct states [A] and [B] at variable [c]"},
      {"MenuAnswerThatIsNoAnalysis", kGood, "7\n", "\nNote: the answer chose no analysis (1, 2 or 3): the run ends.\n",
       "Note: the answer chose no analysis (1, 2 or 3): the run ends.", 0},
      {"CountThatIsAWord", kGood, "2\nmany\n",
       "\nNote: no number of randomizations (or -1) was given: this analysis is not run.\n",
       "Note: no number of randomizations (or -1) was given: this analysis is not run.", 0},
      {"CountBeyondTheLimit", kGood, "2\n200000\n",
       "\nNote: more than 100000 randomizations were asked for: the observed statistics are computed without test.\n",
       "Note: more than 100000 randomizations were asked for", 0, {}, {},
       "Matrix of intra-class correlation coefficients"},
      {"CountReadAsOctalZero", kGood, "1\n\n\n0999\n",
       "\nNote: \"0999\" reads as 0 randomizations (a leading 0 marks an octal number): the observed statistics are "
       "computed without test.\n",
       "reads as 0 randomizations (a leading 0 marks an octal number)", 0},
      {"RadiusNotANumber", kGood, "3\nnear\n",
       "\nNote: the distance threshold is not a number: no local means are computed.\n",
       "Note: the distance threshold is not a number: no local means are computed.", 0},
      {"PairsAtDistanceZero", data("3 0 1 NA", "0", kNamesOk, "s\t0\t0\t1\nt\t0\t0\t2\nu\t1\t0\t4\n"),
       "1\n\n\n\n",
       "\nNote: pairs of samples at distance 0 enter the regression (1 of them): the slope on ln(distance) is not a "
       "number for each variable they have.",
       "Note: pairs of samples at distance 0 enter the regression", 0},
      {"SeedThatIsNoSeed", kGood, "4\n",
       "\nWarning: KALVENO_SEED=\"x1\" is not an integer from 1 to 2147483646; the clock seeds this run.",
       "is not an integer from 1 to 2147483646", 0, {{"KALVENO_SEED", "x1"}}},
      {"ThreadCountThatIsNoCount", kGood, "1\n\n\n19\n\n",
       "\nWarning: KALVENO_THREADS=\"0\" is not a whole number from 1 to 1024; every core is used.",
       "is not a whole number from 1 to 1024", 0, {{"KALVENO_THREADS", "0"}}},
      {"VectorsThatAreNoVectors", kGood, "1\n\n\n19\n\n", "\nWarning: KALVENO_VECTORS=\"neon\" is not avx512, avx2 or sse2; ",
       "is not avx512, avx2 or sse2", 0, {{"KALVENO_VECTORS", "neon"}}},
  };
}

class BadInputs : public ::testing::TestWithParam<BadInput> {};

TEST_P(BadInputs, PrintTheirMessageEndWithTheirStatusAndKeepEarlierResults) {
  const BadInput& input = GetParam();
  TempFolder folder;
  folder.write("in.txt", input.data);
  folder.write("out.txt", kEarlier);
  for (const std::string& name : input.folders) std::filesystem::create_directory(folder.file(name));
  std::vector<std::string> args = input.options;
  args.insert(args.end(), {"in.txt", "out.txt"});
  ProgramRun run = run_kalveno(folder.path(), args, "\n" + input.answers, input.env);
  EXPECT_EQ(run.status, input.status) << run.output.substr(run.output.size() > 2000 ? run.output.size() - 2000 : 0);
  EXPECT_NE(run.output.find(input.message), std::string::npos) << run.output.substr(
      run.output.size() > 2000 ? run.output.size() - 2000 : 0);
  EXPECT_EQ(folder.read("out.txt").rfind(kEarlier, 0), 0u) << "earlier results lost";
  EXPECT_NE(folder.read("out.txt").find(input.in_results), std::string::npos);
  EXPECT_NE(source_file("README.md").find(input.key), std::string::npos) << "not in the README's table";
}

INSTANTIATE_TEST_SUITE_P(Table, BadInputs, ::testing::ValuesIn(bad_inputs()),
                         [](const ::testing::TestParamInfo<BadInput>& info) { return info.param.name; });

// Runs started with an analysis option, as a script starts them. Every
// warning and refusal also reaches standard error; a file read otherwise than
// it looks gives the very results of the file as it was read (read_as); a
// refused run leaves every file as it was and adds none.
struct ScriptedProblem {
  std::string name;
  std::string data;
  std::vector<std::string> args;  // the whole command line
  int status;
  std::string on_stderr;          // a part of standard error; empty: nothing there. A refusal's whole text.
  std::string key;                // the case as the README's table shows it
  std::string read_as = {};
  std::vector<std::string> folders = {};  // made first, in the run's folder
};

std::ostream& operator<<(std::ostream& out, const ScriptedProblem& problem) { return out << problem.name; }

std::vector<ScriptedProblem> scripted_problems() {
  const std::vector<std::string> spatial = {"--spatial", "-q", "in.txt", "out.txt"};
  const std::string names = "n\tx\ty\ta\tb", lines = "s\t0\t0\t1\t5\nt\t1\t0\t2\t6\nu\t2\t0\t4\t7\n";
  const std::string clean = data("3 0 2 NA", "1\t1.5", names, lines);
  return {
      // Read otherwise than it looks: a warning, and the results of the file as it was read.
      {"MoreSampleLinesThanDeclared", data("3 0 2 NA", "1\t1.5", names, lines + "v\t3\t0\t3\t8\nw\t4\t0\t1\t9\n\n"),
       spatial, 0, "Warning: second line of the data file declares 3 samples, but 5 sample lines follow: the last 2, "
       "from line 8 on, are not read.\n", "more sample lines than line 2 declares", clean},
      {"BlankLinesAtTheEndSayNothing", clean + "\n \n\n", spatial, 0, "", "blank lines at the end aside", clean},
      {"MoreVariableNamesThanDeclared", data("3 0 2 NA", "1\t1.5", names + "\tc", "s\t0\t0\t1\t5\t0\nt\t1\t0\t2\t6\t0\n"
       "u\t2\t0\t4\t7\t1\n"), spatial, 0, "declares 2 variables, but fourth line names 3: \"c\" and the names after it "
       "are not read", "more variable names on line 4 than line 2 declares", clean},
      {"SampleLineLongerThanTheHeaders", data("3 0 2 NA", "1\t1.5", names + "\t", "s\t0\t0\t1\t5\nt\t1\t0\t2\t6\t\t8\n"
       "u\t2\t0\t4\t7\t9\n"), spatial, 0, "sample 2 (\"t\", line 6 of the data file) has 7 cells, more than the 5 "
       "column headers of fourth line (and so has 1 more sample line)", "a sample line with more cells than line 4",
       clean},
      {"NameOfSeveralWords", data("3 0 2 NA", "1\t1.5", "n\tx\ty\ta total\tb", lines), spatial, 0,
       "the name of variable 1 on fourth line of the data file, \"a total\", is read as \"a\"",
       "a variable name of several words", clean},
      {"TwoVariablesOfOneName", data("3 0 2 NA", "1\t1.5", "n\tx\ty\ta\ta", lines), spatial, 0,
       "variables 1 and 2 are both named \"a\"", "two variables of the same name"},
      {"WordsAmongNumbers", data("3 0 2 NA", "1\t1.5", names, "s\t0\t0\t1\t5\nt\t1\t0\t2\tna\nu\t2\t0\t4\t7\n"),
       spatial, 0, "variable 2 (b) is qualitative, with 3 states, although 2 of its cells are numbers, because of "
       "\"na\" (1 cell).", "an unmarked variable of numbers with a few words among them",
       data("3 0 2 NA", "1\t1.5", "n\tx\ty\ta\t$b", "s\t0\t0\t1\t5\nt\t1\t0\t2\tna\nu\t2\t0\t4\t7\n")},
      {"GridPositionZero", data("3 1 1 NA", "0", "n\tx\ty\tgx\tgy\ta", "s\t0\t0\t1\t1\t1\nt\t1\t0\t2\t1\t2\n"
       "u\t0\t1\t0\t1\t3\n"), spatial, 0, "sample 3 (\"u\", line 7 of the data file) has a grid position of 0:",
       "a grid position of 0"},
      {"DecimalCommaSeenWithoutTheConsole", data("3 0 2 NA", "1\t1.5", names, "s\t0\t0\t1\t5\nt\t1\t0\t2\t6,5\n"
       "u\t2\t0\t4\t7\n"), spatial, 0, "\nWarning: variable 2 (b) reads \"6,5\" of sample 2 (\"t\", line 6 of the "
       "data file) as 6: only the number at the start of a cell is read, and numbers take a decimal point.\n",
       "the same message on standard error too"},
      {"RefusedDataFileSeenWithoutTheConsole",
       data("3 0 2 NA", "1\t1.5", names, "s\t0\t0\t1\t5\nt\t1\t0\t\t6\nu\t2\t0\t4\t7\n"),
       spatial, 2, "WARNING: no empty cell allowed in the data file. Check sample 2 (\"t\", line 6 of the data file), "
       "variable 1 (a)\n", "the same message on standard error too"},
      {"LongitudesAndLatitudesTakenAsPlanar", source_file("tests/data/capitals.txt"), spatial, 0,
       "Note: the x and y columns (lon, lat) look like longitudes and latitudes in degrees, whose distances are taken "
       "here as on a plane; --great-circle measures them on the Earth, in km.\n",
       "look like longitudes and latitudes in degrees"},
      {"LiberalCompleteTestWithoutGrids", clean, {"--association", "-q", "-r", "9", "in.txt", "out.txt"}, 0,
       "Warning: no grid is defined for the sample positions, so only the complete randomization test runs;",
       "an association tested without grids, run by options"},
      // Output files that cannot be written: refused before anything is written.
      {"ResultsFolderMissing", clean, {"--spatial", "in.txt", "nowhere/out.txt"}, 6,
       "kalveno: cannot write the results file 'nowhere/out.txt': no such folder\n",
       "an output file of an option run that cannot be written"},
      {"ResultsFileIsAFolder", clean, {"--association", "in.txt", "res.txt"}, 6,
       "kalveno: cannot write the results file 'res.txt': a folder has that name\n",
       "an output file of an option run that cannot be written", {}, {"res.txt"}},
      {"TableInAMissingFolder", clean, {"--spatial", "--table=nowhere/t.csv", "in.txt", "out.txt"}, 6,
       "kalveno: cannot write --table=nowhere/t.csv: no such folder\n", "or a folder of that name (`--table`"},
      {"NewVariablesFileIsAFolder", clean, {"--local-means=1", "in.txt", "out.txt"}, 6,
       "kalveno: cannot write the new-variables file 'newvar.txt': a folder has that name\n",
       "or a folder of that name (`--table`", {}, {"newvar.txt"}},
      {"LocalMoranFileIsAFolder", clean, {"--local-moran=1", "in.txt", "out.txt"}, 6,
       "kalveno: cannot write the file of local Moran's I 'localmoran.txt': a folder has that name\n",
       "`--local-file`", {}, {"localmoran.txt"}},
      {"LocalMoranFileWhereNoFileCanBeMade", clean,
       {"--local-moran=1", "--local-file=/proc/x.txt", "in.txt", "out.txt"}, 6,
       "kalveno: cannot write --local-file=/proc/x.txt: its folder takes no new files\n",
       "its folder takes no new files"},
      {"ResultsFileWhereNoFileCanBeMade", clean, {"--spatial", "in.txt", "/proc/x.txt"}, 6,
       "kalveno: cannot write the results file '/proc/x.txt': its folder takes no new files\n",
       "its folder takes no new files"},
      {"NewVariablesOfADialogueRunInAMissingFolder", clean, {"--new-variables=nowhere/n.txt", "in.txt", "out.txt"}, 6,
       "kalveno: cannot write --new-variables=nowhere/n.txt: no such folder\n",
       "`--new-variables` also in a dialogue run"},
      {"LatitudeJustBeyondThePoleWithItsDigits",
       data("3 0 2 NA", "1\t1.5", names, "s\t0\t0\t1\t5\nt\t1\t-90.00001\t2\t6\nu\t2\t0\t4\t7\n"),
       {"--great-circle", "--spatial", "-q", "in.txt", "out.txt"}, 2, "has a latitude (y) of -90.00001: great-circle",
       "a latitude (y) outside −90 to 90 degrees"},
      {"ClassesBelowTheSmallestDistance", clean, {"--spatial", "-q", "--classes=equal-count:3,1e-30", "in.txt",
       "out.txt"}, 0, "Warning: no pair of samples lies within MAX of --classes=equal-count:3,1e-30: the "
       "smallest distance between samples is 1.000000, so the distance classes hold no pair.",
       "`--classes=RULE,MAX` with MAX below the smallest distance"},
      {"ClassesWithoutPairs", data("3 0 2 NA", "3\t5\t10\t20", names, lines), spatial, 0,
       "Warning: classes 2 3 hold no pair of samples, so no Moran's I; the largest distance between samples is "
       "2.000000, within class 1.", "a class that holds no pair"},
      {"ClassWithoutPairsAVariableCanUse", data("3 0 2 NA", "2\t1.5\t3", names, "s\t0\t0\t1\t5\nt\t1\t0\tNA\t6\n"
       "u\t2\t0\t4\t7\n"), spatial, 0, "Warning: no pair of samples that both have the variable lies in these "
       "classes, which give it no Moran's I: a (class 1).", "a class that holds no pair"},
      {"BothTestsWithoutGridsOnALineOfItsOwn", clean, {"--spatial", "-b", "-r", "9", "in.txt", "out.txt"}, 6,
       "kalveno: -b: the toroidal test needs sampling grids, and the data file declares none\nTry 'kalveno --help' for "
       "more information.\n", "on a line of its own, after the console's last line"},
  };
}

class ScriptedProblems : public ::testing::TestWithParam<ScriptedProblem> {};

TEST_P(ScriptedProblems, ReachStandardErrorAndLeaveTheFilesAsTheyShould) {
  const ScriptedProblem& p = GetParam();
  TempFolder folder;
  folder.write("in.txt", p.data);
  folder.write("out.txt", kEarlier);
  for (const std::string& name : p.folders) std::filesystem::create_directory(folder.file(name));
  const ProgramRun run = run_kalveno(folder.path(), p.args, "");
  EXPECT_EQ(run.status, p.status) << run.output << run.errors;
  if (p.on_stderr.empty()) {
    EXPECT_EQ(run.errors, "");
  }
  EXPECT_NE(run.errors.find(trim(p.on_stderr)), std::string::npos) << run.errors;
  EXPECT_NE(source_file("README.md").find(p.key), std::string::npos) << "not in the README's table";
  EXPECT_EQ(folder.read("out.txt").rfind(kEarlier, 0), 0u) << "earlier results lost";
  if (p.status == 6) {
    EXPECT_EQ(run.errors, p.on_stderr);
    EXPECT_TRUE(run.output.ends_with("\n")) << "the refusal would follow the console's last line";
  }
  if (p.status != 0) {
    EXPECT_EQ(folder.read("out.txt"), kEarlier);
    std::set<std::string> before = {"in.txt", "out.txt"};
    before.insert(p.folders.begin(), p.folders.end());
    EXPECT_EQ(folder.names(), before);
  }
  if (!p.read_as.empty()) {
    TempFolder as_read;
    as_read.write("in.txt", p.read_as);
    as_read.write("out.txt", kEarlier);
    EXPECT_EQ(run_kalveno(as_read.path(), p.args, "").errors, "");
    EXPECT_EQ(folder.read("out.txt"), as_read.read("out.txt"));
  }
}

INSTANTIATE_TEST_SUITE_P(Table, ScriptedProblems, ::testing::ValuesIn(scripted_problems()),
                         [](const ::testing::TestParamInfo<ScriptedProblem>& info) { return info.param.name; });

// Ctrl+C while the randomizations run: what was written stays, one line says
// how far the test got, the table is left as it was, status 130.
// Ctrl+C, a batch system's SIGTERM and a closed terminal's SIGHUP end the
// run alike: the line says how far the test got (and names the signal, but
// for Ctrl+C), the cut test writes nothing, the status is 128 + the signal.
TEST(InterruptedRun, KeepsWhatWasWrittenAndSaysHowFarTheTestGotForEachStopSignal) {
  const struct {
    int signal;
    std::string named;
  } cases[] = {{SIGINT, ""}, {SIGTERM, " (SIGTERM)"}, {SIGHUP, " (SIGHUP)"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.signal);
    TempFolder folder;
    folder.write("in.txt", source_file("examples/meuse.txt"));
    folder.write("out.txt", kEarlier);
    folder.write("t.csv", kEarlier);
    const ProgramRun run = run_kalveno(folder.path(), {"--spatial", "-r", "100000", "--table=t.csv", "in.txt",
                                                       "out.txt"}, "", {}, {"\n 1000", c.signal});
    EXPECT_EQ(run.status, 128 + c.signal) << run.errors;
    const std::string results = folder.read("out.txt");
    EXPECT_EQ(results.rfind(kEarlier, 0), 0u);
    EXPECT_NE(results.find("\nVariable\tMoran's I:"), std::string::npos);
    EXPECT_EQ(results.find("Tests of"), std::string::npos);
    const std::string said = "\nInterrupted: the run was stopped after ";
    const std::size_t at = results.rfind(said);
    ASSERT_NE(at, std::string::npos) << results.substr(results.size() - 300);
    const int done = std::atoi(results.c_str() + at + said.size());
    EXPECT_GE(done, 1000);
    EXPECT_LT(done, 100000);
    const std::string line = said + std::to_string(done) + " of 100000 complete randomizations" + c.named +
                             "; no results of this test were written.\n";
    EXPECT_EQ(results.substr(at), line);
    EXPECT_EQ(run.errors, line.substr(1));
    EXPECT_EQ(folder.read("t.csv"), kEarlier);
  }
}

// A console whose reader has gone (piped into "head -c 1") does not end the
// run: the results file and the table are written whole, and the run ends
// as it would have.
TEST(InterruptedRun, AConsoleThatIsNoLongerReadDoesNotStopTheRun) {
  TempFolder folder, alone;
  for (const TempFolder* f : {&folder, &alone}) f->write("in.txt", source_file("examples/meuse.txt"));
  const std::vector<std::string> args = {"--spatial", "-r", "99", "--table=t.csv", "in.txt", "out.txt"};
  RunControl unread;
  unread.output_unread = true;
  const ProgramRun run = run_kalveno(folder.path(), args, "", {}, unread);
  EXPECT_EQ(run.status, 0) << run.errors;
  ASSERT_EQ(run_kalveno(alone.path(), args, "").status, 0);
  EXPECT_EQ(folder.read("out.txt"), alone.read("out.txt"));
  EXPECT_EQ(folder.read("t.csv"), alone.read("t.csv"));
}

TEST(BadInputs, HugeRequestsKeepTheObservedResultsWrittenBeforeThem) {
  TempFolder folder;
  folder.write("in.txt", wide_data(1000, 250));
  ProgramRun run = run_kalveno(folder.path(), {"in.txt", "out.txt"}, "1\n\n\n100000\n\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(folder.read("out.txt").find("\nv1000\t\t"), std::string::npos);
  EXPECT_EQ(folder.read("error.txt"), "\nallocation failure 3 in f3tensor()");
}

// A short file whose header declares many samples and variables is refused
// at its first sample line, without first asking for memory beyond the data
// set's arrays in proportion to the samples times the variables. Here the
// values of 3000 x 3000 take 72 MB and no block above 100 MB can be had.
TEST(BadInputs, ManySamplesAndVariablesDeclaredOnAShortFileAreRefusedAtTheirFirstLine) {
  std::string text = "t\n3000 0 3000 NA\n0\nn\tx\ty";
  for (int v = 1; v <= 3000; ++v) text += "\tv";
  text += "\n" + std::string(3000, '\n');
  TempFolder folder;
  folder.write("in.txt", text);
  ProgramRun run = run_kalveno(folder.path(), {"in.txt", "out.txt"}, "\n",
                               {{"ASAN_OPTIONS", "max_allocation_size_mb=100:allocator_may_return_null=1"}});
  EXPECT_EQ(run.status, 2) << run.errors.substr(0, 2000);
  EXPECT_NE(run.output.find("WARNING: no sample name for sample 1 (line 5 of the data file)"), std::string::npos);
}

// Every way a run can end, each with earlier results in out.txt: only the
// answer 'e' to the existing-results question empties the file.
TEST(ResultsFile, EarlierResultsSurviveEveryNormalEndAndOnlyEEmptiesIt) {
  const std::vector<std::string> runs = {
      "\n1\n\n\n-19\n1\n",          // spatial, both series, detailed
      "a\n1\nc\n4\nA\nB\n0 1\n19\n\n",  // spatial, pairs of states A and B
      "A\n2\n-19\n1\n",             // association, both series, detailed
      "\n2\n\n",                     // association, observed only
      "\n3\n1\n\n",                  // local means
      "\n3\nnear\n",                 // local means, no threshold
      "\n4\n",                       // no analysis
      "\n",                          // input ends at the menu
      "",                            // input ends at the existing-results question
      "\n1\nc\n3\n",                 // input ends at a class name
  };
  for (const std::string& answers : runs) {
    TempFolder folder;
    folder.write("in.txt", kGood);
    folder.write("out.txt", kEarlier);
    ProgramRun run = run_kalveno(folder.path(), {"in.txt", "out.txt"}, answers);
    EXPECT_EQ(folder.read("out.txt").rfind(kEarlier, 0), 0u) << answers;
  }
  TempFolder folder;
  folder.write("in.txt", kGood);
  folder.write("out.txt", kEarlier);
  run_kalveno(folder.path(), {"in.txt", "out.txt"}, "e\n4\n");
  EXPECT_EQ(folder.read("out.txt").rfind("\nKALVENO 1.0", 0), 0u);
}

}  // namespace
}  // namespace kalveno::testing
