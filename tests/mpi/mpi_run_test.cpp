// kalveno-mpi through mpirun: over 1, 2 and 3 ranks it writes the very files
// kalveno writes with the same options and seed; a refusal is said once and
// ends every rank with its status; a rank that fails alone, or is killed,
// ends the job and leaves the results file as it was; ranks that differ in
// options, data or build are refused before they exchange anything else;
// a stop signal to any rank stops them all as it stops kalveno.
#include <gtest/gtest.h>

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "base/interruption.h"
#include "base/results_headings.h"
#include "base/text.h"
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

// Ranks that run kalveno-mpi (or binary) with the same arguments, started
// through launcher when it names one.
struct Ranks {
  int count;
  std::vector<std::string> args;
  std::vector<std::string> launcher = {};
  std::string binary = kMpiBinary;
};

// The arguments of mpirun for groups of ranks (joined by ":", as mpirun
// takes them), more ranks than this machine has cores allowed.
std::vector<std::string> mpirun_args(const std::vector<Ranks>& groups) {
  std::vector<std::string> args = {"--oversubscribe"};
  for (const Ranks& ranks : groups) {
    if (args.size() > 1) args.push_back(":");
    args.insert(args.end(), {"-np", std::to_string(ranks.count)});
    args.insert(args.end(), ranks.launcher.begin(), ranks.launcher.end());
    args.push_back(ranks.binary);
    args.insert(args.end(), ranks.args.begin(), ranks.args.end());
  }
  return args;
}

// Seed 1; OpenMPI's own allocations outlive the job, so the leak check is
// off for it.
std::map<std::string, std::string> mpi_environment() {
  std::map<std::string, std::string> env = {{"KALVENO_SEED", "1"},
                                            {"ASAN_OPTIONS", "allocator_may_return_null=1:detect_leaks=0"}};
  if (geteuid() == 0) env.insert({{"OMPI_ALLOW_RUN_AS_ROOT", "1"}, {"OMPI_ALLOW_RUN_AS_ROOT_CONFIRM", "1"}});
  return env;
}

// One mpirun job of groups of ranks.
ProgramRun run_mpi(const std::string& folder, const std::vector<Ranks>& groups) {
  return run_program(kMpiexec, folder, mpirun_args(groups), "", mpi_environment());
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

// A copy of kalveno-mpi in folder, named name, that says it is another
// build: its identifier, as the build wrote it, with the digits of its
// digest in reverse order.
std::string copy_of_another_build(const TempFolder& folder, const std::string& name) {
  std::ifstream header(std::string(KALVENO_BUILD_DIR) + "/generated/mpi/build_id.h");
  std::string text((std::istreambuf_iterator<char>(header)), std::istreambuf_iterator<char>());
  const std::size_t start = text.find('"', text.find("KALVENO_BUILD_ID")) + 1;
  const std::string id = text.substr(start, text.find('"', start) - start);
  std::string other = id;
  std::reverse(other.begin() + static_cast<std::ptrdiff_t>(other.find('+')) + 1, other.end());
  EXPECT_NE(other, id);
  std::ifstream in(kMpiBinary, std::ios::binary);
  std::string binary((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  int replaced = 0;
  for (std::size_t at = binary.find(id); at != std::string::npos; at = binary.find(id, at + id.size()), ++replaced)
    binary.replace(at, id.size(), other);
  EXPECT_GE(replaced, 1) << id;
  folder.write(name, binary);
  std::filesystem::permissions(folder.file(name), std::filesystem::perms::owner_all);
  return folder.file(name);
}

// The example data with two cells changed.
std::string example_with_two_cells_changed() {
  std::string data = source_file("examples/meuse.txt");
  for (const char* cell : {"\t11.7\t", "\t199\t"}) {
    const std::size_t at = data.find(cell);
    data[at + 1] = static_cast<char>(data[at + 1] == '9' ? '8' : '9');
  }
  return data;
}

// The last rank of K = 2 and 3 is given other arguments (or another
// build): the ranks compare what they have before any other exchange,
// rank 0 names the rank and what differs, once, and nothing is written.
// Other threads, -q and other names of the same data are no difference.
TEST(MpiRanksThatDiffer, AreRefusedBeforeAnyCollectiveAndNamed) {
  SKIP_WITHOUT_MPI();
  const std::vector<std::string> same = with_files({"--spatial", "-r", "50"});
  struct Difference {
    const char* name;
    std::vector<std::string> args;
    const char* what;  // nullptr: the run goes on
    bool another_build = false;
  };
  const std::vector<Difference> differences = {
      {"two cells", {"--spatial", "-r", "50", "--table=t.csv", "changed.txt", "out.txt"}, "data (its data file as read)"},
      {"another file", {"--spatial", "-r", "50", "--table=t.csv", "grid.txt", "out.txt"}, "data"},
      {"association", with_files({"--association", "-r", "50"}), "options"},
      {"classes", with_files({"--spatial", "-r", "50", "--classes=equal-count:10"}), "options"},
      {"pairs", with_files({"--spatial", "-r", "50", "--pairs-by=ffreq", "--same-state"}), "options"},
      {"count", with_files({"--spatial", "-r", "3"}), "options"},
      {"build", same, "build (", true},
      {"how shown", {"--spatial", "-q", "-j2", "-r", "50", "--table=u.csv", "copy.txt", "other.txt"}, nullptr},
  };
  for (int ranks : {2, 3}) {
    for (const Difference& difference : differences) {
      TempFolder folder;
      for (const char* name : {"in.txt", "copy.txt"}) folder.write(name, source_file("examples/meuse.txt"));
      folder.write("changed.txt", example_with_two_cells_changed());
      folder.write("grid.txt", source_file("tests/data/spatial_grid.txt"));
      folder.write("out.txt", kEarlier);
      Ranks last{1, difference.args};
      if (difference.another_build) last.binary = copy_of_another_build(folder, "other-build");
      const ProgramRun run = run_mpi(folder.path(), {{ranks - 1, same}, last});
      const std::string context = std::string(difference.name) + ", " + std::to_string(ranks) + " ranks\n" + run.errors;
      if (difference.what == nullptr) {
        EXPECT_EQ(run.status, 0) << context;
        EXPECT_NE(folder.read("out.txt").find(headings::kCompleteTest), std::string::npos) << context;
        continue;
      }
      EXPECT_EQ(run.status, 6) << context;
      const std::string said = format("kalveno-mpi: rank %d of %d differs from rank 0 in its %s", ranks - 1, ranks,
                                      difference.what);
      EXPECT_EQ(occurrences(run.errors, said), 1) << context;
      EXPECT_EQ(run.errors.find("MPI_ERR"), std::string::npos) << context;
      EXPECT_EQ(folder.read("out.txt"), kEarlier) << context;
      EXPECT_FALSE(folder.exists("t.csv")) << context;
    }
  }
}

// When rank 0 is the one that differs, the others differ from it: the
// first is named, and how many more.
TEST(MpiRanksThatDiffer, RankZeroIsTheOneTheOthersAreComparedWith) {
  SKIP_WITHOUT_MPI();
  TempFolder folder;
  folder.write("in.txt", source_file("examples/meuse.txt"));
  folder.write("out.txt", kEarlier);
  const ProgramRun run = run_mpi(folder.path(), {{1, with_files({"--spatial", "-r", "9"})},
                                                 {2, with_files({"--spatial", "-r", "50"})}});
  EXPECT_EQ(run.status, 6);
  EXPECT_EQ(occurrences(run.errors, "kalveno-mpi: rank 1 of 3 (and 1 other rank) differs from rank 0 in its "
                                    "options: every rank must run the same build with the same options (-q, -j and "
                                    "the names of files aside) on the same data; no file was written.\n"),
            1)
      << run.errors;
  EXPECT_EQ(folder.read("out.txt"), kEarlier);
}

// Each rank started through a shell that leaves its process number in
// rank<R>.pid and its console in rank<R>.out in the job's folder.
std::vector<std::string> noting_launcher() {
  return {"sh", "-c", "echo $$ > rank$OMPI_COMM_WORLD_RANK.pid; exec \"$0\" \"$@\" > rank$OMPI_COMM_WORLD_RANK.out"};
}

// The parent of process pid (Linux: /proc/PID/stat, after the name).
pid_t getppid_of(pid_t pid) {
  std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
  return static_cast<pid_t>(std::atoi(text.c_str() + text.rfind(')') + 4));
}

// The process number that rank wrote in rank<R>.pid, or 0 while none.
pid_t rank_pid(const TempFolder& folder, int rank) {
  const std::string file = "rank" + std::to_string(rank) + ".pid";
  return folder.exists(file) ? static_cast<pid_t>(std::atoi(folder.read(file).c_str())) : 0;
}

// Whether process pid catches signal_number now (Linux: /proc/PID/status):
// a rank does while its randomizations run, not before.
bool catches(pid_t pid, int signal_number) {
  std::ifstream status("/proc/" + std::to_string(pid) + "/status");
  for (std::string line; std::getline(status, line);)
    if (line.rfind("SigCgt:", 0) == 0) return (std::stoull(line.substr(7), nullptr, 16) >> (signal_number - 1)) & 1;
  return false;
}

// Whether rank 0's console shows text and all ranks catch signal_number.
bool every_rank_at(const TempFolder& folder, int ranks, const std::string& text, int signal_number) {
  if (!folder.exists("rank0.out") || folder.read("rank0.out").find(text) == std::string::npos) return false;
  for (int r = 0; r < ranks; ++r)
    if (rank_pid(folder, r) == 0 || !catches(rank_pid(folder, r), signal_number)) return false;
  return true;
}

// Runs a job of ranks (through noting_launcher) and, once every rank is at
// text, sends signal to rank target, or with target -1 to mpirun (the
// parent of the ranks here).
ProgramRun run_mpi_signalling(const TempFolder& folder, Ranks ranks, const std::string& text, int target,
                              int signal_number) {
  ranks.launcher = noting_launcher();
  std::atomic<bool> ended{false};
  ProgramRun run;
  std::thread job([&] {
    run = run_mpi(folder.path(), {ranks});
    ended = true;
  });
  for (; !ended; std::this_thread::sleep_for(std::chrono::milliseconds(5))) {
    if (!every_rank_at(folder, ranks.count, text, signal_number)) continue;
    kill(target >= 0 ? rank_pid(folder, target) : getppid_of(rank_pid(folder, 0)), signal_number);
    break;
  }
  job.join();
  run.output = folder.read("rank0.out");
  return run;
}

// The last line of a results file that a stop signal cut, as kalveno writes
// it (a signal other than SIGINT named), with the randomizations done in
// place of R; the count read into done.
void expect_interruption_line(const std::string& results, int n_rep, int signal_number, int& done) {
  const std::string said = "\nInterrupted: the run was stopped after ";
  const std::size_t at = results.rfind(said);
  ASSERT_NE(at, std::string::npos) << results.substr(results.size() - std::min<std::size_t>(results.size(), 300));
  done = std::atoi(results.c_str() + at + said.size());
  const std::string named = signal_number == SIGINT ? "" : format(" (%s)", signal_name(signal_number));
  EXPECT_EQ(results.substr(at), said + std::to_string(done) + " of " + std::to_string(n_rep) +
                                    " complete randomizations" + named +
                                    "; no results of this test were written.\n");
}

// A stop signal to any one rank in the randomizations stops every rank:
// rank 0 writes what it held (the earlier sections), then the line that
// says how many randomizations all ranks did, and the job ends with
// 128 + the signal, as kalveno does; the table is not written. Far fewer
// than half the randomizations are done: each rank had a third of them.
// mpirun (target -1), given SIGINT as from Ctrl+C, sends the ranks SIGTERM
// (OpenMPI), which stops them the same way; its own status is OpenMPI's.
TEST(MpiStopSignals, ToAnyRankOrMpirunStopEveryRankAndKeepWhatWasDone) {
  SKIP_WITHOUT_MPI();
  struct Stop {
    int ranks, target, signal_number, signal_named;
  };
  const int n_rep = 20000;
  const std::vector<Stop> stops = {{2, 1, SIGINT, SIGINT}, {3, 2, SIGTERM, SIGTERM}, {3, 0, SIGHUP, SIGHUP},
                                   {3, -1, SIGINT, SIGTERM}};
  for (const Stop& stop : stops) {
    TempFolder folder;
    folder.write("in.txt", source_file("examples/meuse.txt"));
    folder.write("out.txt", kEarlier);
    const ProgramRun run =
        run_mpi_signalling(folder, {stop.ranks, with_files({"--spatial", "-r", std::to_string(n_rep), "-j1"})},
                           "randomizations\n 200", stop.target, stop.signal_number);
    const std::string context = format("signal %d to rank %d of %d\n", stop.signal_number, stop.target, stop.ranks);
    EXPECT_NE(run.status, 0) << context;
    if (stop.target >= 0) {
      EXPECT_EQ(run.status, 128 + stop.signal_number) << context << run.errors;
    }
    const std::string results = folder.read("out.txt");
    EXPECT_EQ(results.rfind(kEarlier, 0), 0u) << context;
    EXPECT_NE(results.find(headings::kMoranTable), std::string::npos) << context;
    EXPECT_EQ(results.find(headings::kCompleteTest), std::string::npos) << context;
    int done = 0;
    expect_interruption_line(results, n_rep, stop.signal_named, done);
    EXPECT_TRUE(done >= 200 && done < n_rep / 2) << context << done;
    EXPECT_FALSE(folder.exists("t.csv")) << context;
  }
}

}  // namespace
}  // namespace kalveno::testing
