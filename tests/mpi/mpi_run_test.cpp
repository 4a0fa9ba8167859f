// kalveno-mpi through mpirun: over 1, 2 and 3 ranks it writes the very files
// kalveno writes with the same options and seed; a refusal is said once and
// ends every rank with its status; a rank that fails alone, or is killed,
// ends the job and leaves the results file as it was.
#include <gtest/gtest.h>

#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

#ifdef KALVENO_MPI_BINARY
constexpr bool kBuilt = true;
const char kMpiBinary[] = KALVENO_MPI_BINARY;
const char kMpiexec[] = KALVENO_MPIEXEC;
#else
constexpr bool kBuilt = false;
const char kMpiBinary[] = "";
const char kMpiexec[] = "";
#endif

#define SKIP_WITHOUT_MPI() \
  if (!kBuilt) GTEST_SKIP() << "kalveno-mpi is not built (CMake found no MPI): its tests are skipped"

// Ranks that run kalveno-mpi with the same arguments, started through
// launcher when it names one.
struct Ranks {
  int count;
  std::vector<std::string> args;
  std::vector<std::string> launcher = {};
};

// One mpirun job of groups of ranks (joined by ":", as mpirun takes them),
// more ranks than this machine has cores allowed. Seed 1; OpenMPI's own
// allocations outlive the job, so the leak check is off for it.
ProgramRun run_mpi(const std::string& folder, const std::vector<Ranks>& groups) {
  std::vector<std::string> args = {"--oversubscribe"};
  for (const Ranks& ranks : groups) {
    if (args.size() > 1) args.push_back(":");
    args.insert(args.end(), {"-np", std::to_string(ranks.count)});
    args.insert(args.end(), ranks.launcher.begin(), ranks.launcher.end());
    args.push_back(kMpiBinary);
    args.insert(args.end(), ranks.args.begin(), ranks.args.end());
  }
  std::map<std::string, std::string> env = {{"KALVENO_SEED", "1"},
                                            {"ASAN_OPTIONS", "allocator_may_return_null=1:detect_leaks=0"}};
  if (geteuid() == 0) env.insert({{"OMPI_ALLOW_RUN_AS_ROOT", "1"}, {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"}});
  return run_program(kMpiexec, folder, args, "", env);
}

std::vector<std::string> with_files(std::vector<std::string> options) {
  options.insert(options.end(), {"--table=t.csv", "in.txt", "out.txt"});
  return options;
}

struct SameBytes {
  std::string name;
  std::string data_file;  // of the source tree
  std::vector<std::string> options;
};

std::ostream& operator<<(std::ostream& out, const SameBytes& s) { return out << s.name; }

class MpiSameBytes : public ::testing::TestWithParam<SameBytes> {};

// 101 replicates (or 155 samples) split unevenly over two and three ranks;
// each count of ranks with another count of threads.
TEST_P(MpiSameBytes, OverOneTwoAndThreeRanksAsKalvenoWrites) {
  SKIP_WITHOUT_MPI();
  const SameBytes& s = GetParam();
  TempFolder alone;
  alone.write("in.txt", source_file(s.data_file));
  alone.write("out.txt", kEarlier);
  const ProgramRun kalveno = run_kalveno(alone.path(), with_files(s.options), "");
  ASSERT_EQ(kalveno.status, 0) << kalveno.output;
  for (const auto& [ranks, threads] : std::vector<std::pair<int, int>>{{1, 3}, {2, 1}, {3, 2}}) {
    TempFolder spread;
    spread.write("in.txt", source_file(s.data_file));
    spread.write("out.txt", kEarlier);
    std::vector<std::string> options = s.options;
    options.push_back("-j" + std::to_string(threads));
    const ProgramRun run = run_mpi(spread.path(), {{ranks, with_files(options)}});
    EXPECT_EQ(run.status, 0) << ranks << " ranks\n" << run.output << run.errors;
    ASSERT_EQ(spread.names(), alone.names()) << ranks << " ranks";
    for (const std::string& name : alone.names()) EXPECT_EQ(spread.read(name), alone.read(name)) << ranks << " ranks";
  }
}

INSTANTIATE_TEST_SUITE_P(
    Runs, MpiSameBytes,
    ::testing::Values(SameBytes{"ExampleSpatial", "examples/meuse.txt",
                                {"--spatial", "-r", "101", "-d", "--analytical", "--adjust=holm"}},
                      SameBytes{"ExampleAssociation", "examples/meuse.txt", {"--association", "-r", "101"}},
                      SameBytes{"GridSpatialBothTests", "tests/data/spatial_grid.txt",
                                {"--spatial", "--pairs-by=habitat", "--same-state", "-b", "-r", "101"}},
                      SameBytes{"GridAssociationBothTests", "tests/data/assoc_grid.txt",
                                {"--association", "-b", "-r", "101", "-d"}},
                      SameBytes{"ExampleLocalMoran", "examples/meuse.txt", {"--local-moran=500", "-r", "101"}}),
    [](const ::testing::TestParamInfo<SameBytes>& info) { return info.param.name; });

int occurrences(const std::string& text, const std::string& part) {
  int n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1)) ++n;
  return n;
}

TEST(MpiRefusals, AreSaidOnceAndEndEveryRankWithTheirStatus) {
  SKIP_WITHOUT_MPI();
  struct Refusal {
    std::vector<std::string> args;
    int status;
    std::string message;
  };
  const std::vector<Refusal> refusals = {
      {{"in.txt", "out.txt"}, 6, "kalveno: a run over 3 processes asks no questions"},
      {{"--spatial", "-r", "x", "in.txt", "out.txt"}, 6, "kalveno: invalid value 'x' for -r"},
      {{"--spatial", "bad.txt", "out.txt"}, 2, "WARNING: 4 elements expected on second line"},
  };
  for (const Refusal& refusal : refusals) {
    TempFolder folder;
    folder.write("in.txt", source_file("examples/meuse.txt"));
    folder.write("bad.txt", "title\n");
    folder.write("out.txt", kEarlier);
    const ProgramRun run = run_mpi(folder.path(), {{3, refusal.args}});
    EXPECT_EQ(run.status, refusal.status) << refusal.message;
    EXPECT_EQ(occurrences(run.errors, refusal.message), 1) << run.errors;
    EXPECT_EQ(folder.read("out.txt"), kEarlier);
  }
}

// Rank 1 cannot read its data file: a node without the shared folder.
TEST(MpiFailures, ARankThatFailsAloneIsNamedAndNothingIsWritten) {
  SKIP_WITHOUT_MPI();
  TempFolder folder;
  folder.write("in.txt", source_file("examples/meuse.txt"));
  folder.write("out.txt", kEarlier);
  const ProgramRun run =
      run_mpi(folder.path(), {{1, with_files({"--spatial", "-r", "99"})},
                              {1, {"--spatial", "-r", "99", "--table=t.csv", "elsewhere/in.txt", "out.txt"}}});
  EXPECT_EQ(run.status, 2);
  EXPECT_NE(run.errors.find("kalveno-mpi: rank 1 of 2 stopped (status 2):\n"), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("Cannot open data file \"elsewhere/in.txt\""), std::string::npos) << run.errors;
  EXPECT_NE(run.errors.find("kalveno-mpi: rank 1 of 2 stopped the run (status 2); no file was written."),
            std::string::npos);
  EXPECT_EQ(folder.read("out.txt"), kEarlier);
  EXPECT_FALSE(folder.exists("t.csv"));
}

// Rank 1 is killed a second into a long run, whether before or after rank 0
// has computed the observed statistics: mpirun ends the job and names the
// rank, and rank 0 has written nothing of what it holds.
TEST(MpiFailures, AKilledRankEndsTheJobAndTheResultsFileKeepsWhatItHeld) {
  SKIP_WITHOUT_MPI();
  TempFolder folder;
  folder.write("in.txt", source_file("examples/meuse.txt"));
  folder.write("out.txt", kEarlier);
  const std::vector<std::string> options = with_files({"--spatial", "-r", "100000", "-j1"});
  const ProgramRun run = run_mpi(folder.path(), {{1, options}, {1, options, {"timeout", "-s", "KILL", "1"}}});
  EXPECT_NE(run.status, 0);
  EXPECT_NE(run.errors.find("rank 1"), std::string::npos) << run.errors;
  EXPECT_EQ(folder.read("out.txt"), kEarlier);
  EXPECT_FALSE(folder.exists("t.csv"));
}

}  // namespace
}  // namespace kalveno::testing
