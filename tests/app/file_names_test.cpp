// The file-name dialogue and the existing-results question, through the binary.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

const char kTriangle[] = "three\n3 0 1 NA\n0\nn\tx\ty\tv\na\t0\t0\t1\nb\t3\t4\t2\nc\t6\t8\t3\n";
const char kExists[] = "\n\n\nWARNING: The results file \"out.txt\" already exists.";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

TEST(FileNames, ExistingResultsAreKeptByReturnOrAAndErasedOnlyByE) {
  TempFolder folder;
  folder.write("in.txt", kTriangle);
  for (const char* keep : {"\n", "a\n", "A\n"}) {
    folder.write("out.txt", "earlier results");
    ProgramRun run = run_kalveno(folder.path(), {}, std::string("\n\n") + keep + "4\n");
    EXPECT_EQ(run.status, 0);
    EXPECT_TRUE(contains(run.output, kExists));
    EXPECT_EQ(folder.read("out.txt").rfind("earlier results\nKALVENO 1.0", 0), 0u) << keep;
  }
  folder.write("out.txt", "earlier results");
  run_kalveno(folder.path(), {}, "\n\ne\n4\n");
  EXPECT_EQ(folder.read("out.txt").rfind("\nKALVENO 1.0", 0), 0u);
}

TEST(FileNames, AnyOtherWordBecomesANewResultsFileName) {
  TempFolder folder;
  folder.write("in.txt", kTriangle);
  folder.write("out.txt", "earlier results");
  ProgramRun run = run_kalveno(folder.path(), {}, "\n\nerase\n4\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(folder.read("out.txt"), "earlier results");
  EXPECT_TRUE(contains(folder.read("erase"), "Output file: erase\n"));
}

TEST(FileNames, BlankAnswersSelectTheDefaults) {
  TempFolder folder;
  folder.write("in.txt", kTriangle);
  ProgramRun run = run_kalveno(folder.path(), {}, "  \n\t\n4\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(contains(run.output, "\n\n  Data file: in.txt\n\n\nEnter the name of the results file"));
  EXPECT_TRUE(contains(run.output, "\n\n  Results file: out.txt"));
  EXPECT_TRUE(folder.exists("out.txt"));
}

TEST(FileNames, AOneArgumentStartWorksInTheDataFileFolder) {
  for (const char* path : {"site/site1.txt", "site\\site1.txt"}) {
    TempFolder folder;
    std::filesystem::create_directory(folder.file("site"));
    folder.write("site/site1.txt", kTriangle);
    ProgramRun run = run_kalveno(folder.path(), {path}, "res.txt\n4\n");
    EXPECT_EQ(run.status, 0) << run.output;
    EXPECT_TRUE(contains(run.output, "\n\n\n\nDATA / RESULTS FILE NAMES\n\n  Data file: site1.txt\n\n\nEnter the "
                                     "name of the results file"));
    EXPECT_TRUE(contains(folder.read("site/res.txt"), "\nData file: site1.txt\nOutput file: res.txt\n"));
  }
  // A bare name is a data file in the working folder.
  TempFolder folder;
  folder.write("local.txt", kTriangle);
  ProgramRun bare = run_kalveno(folder.path(), {"local.txt"}, "\n4\n");
  EXPECT_TRUE(contains(folder.read("out.txt"), "\nData file: local.txt\n"));
  EXPECT_FALSE(contains(bare.output, "Enter the name of the data file"));
}

TEST(FileNames, TwoArgumentsAskNothingButAMissingDataFileIsStillAskedFor) {
  TempFolder folder;
  folder.write("real.txt", kTriangle);
  ProgramRun run = run_kalveno(folder.path(), {"missing.txt", "res.txt"}, "real.txt\n4\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(contains(run.output, "\n\n  Data file: missing.txt\n  Results file: res.txt"
                                   "\n\nWARNING: Cannot open data file \"missing.txt\"\n"));
  EXPECT_TRUE(contains(folder.read("res.txt"), "\nData file: real.txt\n"));
}

TEST(FileNames, StopWhenTheAnswersEndBeforeTheNamesAreSettled) {
  TempFolder folder;
  ProgramRun run = run_kalveno(folder.path(), {"missing.txt", "res.txt"}, "\n");
  EXPECT_EQ(run.status, 4);
  EXPECT_TRUE(contains(run.output, "\nStopped: the answers ended before the file names were settled.\n"));
  // A results file that cannot be opened (here a folder) is asked for again.
  folder.write("in.txt", kTriangle);
  std::filesystem::create_directory(folder.file("busy.txt"));
  ProgramRun busy = run_kalveno(folder.path(), {"in.txt", "busy.txt"}, "");
  EXPECT_EQ(busy.status, 4);
  EXPECT_TRUE(contains(busy.output, "\nWARNING: Cannot open results file \"busy.txt\".\n"));
  ProgramRun renamed = run_kalveno(folder.path(), {"in.txt", "busy.txt"}, "free.txt\n4\n");
  EXPECT_EQ(renamed.status, 0);
  EXPECT_TRUE(folder.exists("free.txt"));
}

TEST(FileNames, TheDataFileIsNeverTakenAsTheResultsFile) {
  TempFolder folder;
  folder.write("in.txt", kTriangle);
  ProgramRun run = run_kalveno(folder.path(), {"in.txt", "./in.txt"}, "res.txt\n4\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(contains(run.output, "\n\n\nWARNING: The results file \"./in.txt\" is the data file itself.\n"));
  EXPECT_EQ(folder.read("in.txt"), kTriangle);
  EXPECT_TRUE(contains(folder.read("res.txt"), "\nOutput file: res.txt\n"));
}

}  // namespace
}  // namespace kalveno::testing
