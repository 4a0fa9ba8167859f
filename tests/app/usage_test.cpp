// --help and --version, the documentation of the options, and the installed
// layout.
#include <cstdlib>
#include <filesystem>
#include <sstream>

#include <gtest/gtest.h>

#include "app/command_line.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

TEST(InformationRequest, HelpShowsTheUsageAndNeitherAsksNorWrites) {
  TempFolder folder;
  ProgramRun run = run_kalveno(folder.path(), {"--help"}, "");
  EXPECT_EQ(run.status, 0);
  for (const char* part : {"Usage: kalveno [OPTION]... [DATA_FILE [RESULTS_FILE]]\n", "  kalveno DATA_FILE RESULTS_FILE\n",
                           "KALVENO_SEED", "1 to 2147483646", "KALVENO_THREADS", "every hardware thread",
                           "KALVENO_VECTORS"})
    EXPECT_NE(run.output.find(part), std::string::npos) << part;
  EXPECT_EQ(run.output.find("DATA / RESULTS FILE NAMES"), std::string::npos);
  EXPECT_TRUE(std::filesystem::is_empty(folder.path()));
}

// Every option is in the usage text, the manual page and the README.
TEST(InformationRequest, EveryOptionIsDocumented) {
  TempFolder folder;
  const std::string help = run_kalveno(folder.path(), {"-h"}, "").output;
  const std::string manual = source_file("doc/kalveno.1"), readme = source_file("README.md");
  for (const std::string& option : long_option_names()) {
    EXPECT_NE(help.find(option), std::string::npos) << option;
    std::string roff;  // the manual page escapes every hyphen
    for (char c : option) roff += c == '-' ? std::string("\\-") : std::string(1, c);
    EXPECT_NE(manual.find(roff), std::string::npos) << option;
    EXPECT_NE(readme.find("`" + option), std::string::npos) << option;
  }
}

// The usage text lists the exit statuses of the README, word for word.
TEST(InformationRequest, HelpListsEveryExitStatusOfTheReadme) {
  TempFolder folder;
  std::string help = run_kalveno(folder.path(), {"--help"}, "").output;
  std::string joined;  // the help text's words, each followed by one blank
  std::istringstream words(help);
  for (std::string word; words >> word;) joined += word + " ";
  std::istringstream readme(source_file("README.md"));
  int statuses = 0;
  bool in_section = false;  // the table of the section "Exit statuses"
  for (std::string line; std::getline(readme, line);) {
    if (line.rfind("## ", 0) == 0) in_section = line == "## Exit statuses";
    if (!in_section || line.size() < 7 || line[0] != '|' || line[2] < '0' || line[2] > '9') continue;
    const std::size_t bar = line.find(" | ");
    std::string status = line.substr(2, bar - 2), meaning = line.substr(bar + 3, line.rfind(" |") - bar - 3);
    for (std::size_t at; (at = meaning.find('`')) != std::string::npos;) meaning.erase(at, 1);
    EXPECT_NE(joined.find(status + " " + meaning), std::string::npos) << meaning;
    ++statuses;
  }
  EXPECT_EQ(statuses, 10);
}

TEST(InformationRequest, VersionIsOneLineAndDoubleDashEndsTheOptions) {
  TempFolder folder;
  ProgramRun run = run_kalveno(folder.path(), {"--version"}, "");
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.output, "KALVENO 1.0\n");

  // After "--" a file may be named like an option.
  folder.write("in.txt", source_file("examples/meuse.txt"));
  run = run_kalveno(folder.path(), {"in.txt", "--", "--help", "ignored"}, "4\n");
  EXPECT_EQ(run.status, 0);
  EXPECT_TRUE(folder.exists("--help"));
  EXPECT_FALSE(folder.exists("ignored"));
}

TEST(Install, PutsTheProgramsAndTheirManualPagesUnderThePrefix) {
  TempFolder prefix;
  const std::string command = std::string("'") + KALVENO_CMAKE + "' --install '" + KALVENO_BUILD_DIR +
                              "' --prefix '" + prefix.path() + "' >/dev/null";
  ASSERT_EQ(std::system(command.c_str()), 0);
  for (const char* file :
       {"bin/kalveno", "bin/kalveno-plot", "share/man/man1/kalveno.1", "share/man/man1/kalveno-plot.1"})
    EXPECT_TRUE(prefix.exists(file)) << file;
#ifdef KALVENO_MPI_BINARY
  for (const char* file : {"bin/kalveno-mpi", "share/man/man1/kalveno-mpi.1"}) EXPECT_TRUE(prefix.exists(file)) << file;
#endif
  auto permissions = std::filesystem::status(prefix.file("bin/kalveno-plot")).permissions();
  EXPECT_NE(permissions & std::filesystem::perms::others_exec, std::filesystem::perms::none);
}

TEST(Install, ManualPagesAreCleanRoff) {
  if (std::system("groff --version >/dev/null 2>&1") != 0) GTEST_SKIP() << "groff is not installed";
  TempFolder scratch;
  for (const char* page : {"doc/kalveno.1", "doc/kalveno-plot.1", "doc/kalveno-mpi.1"}) {
    const std::string command = "groff -man -ww -z '" + std::string(KALVENO_SOURCE_DIR) + "/" + page + "' 2>'" +
                                scratch.file("warnings") + "'";
    EXPECT_EQ(std::system(command.c_str()), 0) << page;
    EXPECT_EQ(scratch.read("warnings"), "") << page;
  }
}

}  // namespace
}  // namespace kalveno::testing
