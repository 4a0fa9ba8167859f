// A disk that fills while the outputs are written, through the real
// binaries: a file that is replaced stays as it was, byte for byte, with no
// temporary file left beside it; the results file keeps exactly what it held
// before the failed section; the run says so and ends with status 5. Where
// the machine lets the test mount a small file system (tmpfs), the outputs go
// to one that is full; everywhere, the test builds' hook makes every write to
// the one file fail after a few bytes, as a full disk would.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <map>
#include <sys/mount.h>
#include <unistd.h>

#include "plot/plot_program.h"
#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// A folder on a small file system of its own, mounted for the test when the
// machine allows it (root, or a container that lets it), and filled.
class FullFileSystem {
 public:
  explicit FullFileSystem(const std::string& folder) : folder_(folder) {
    mounted_ = mount("kalveno-test", folder.c_str(), "tmpfs", 0, "size=64k") == 0;
  }
  ~FullFileSystem() {
    if (mounted_) umount2(folder_.c_str(), MNT_DETACH);
  }
  FullFileSystem(const FullFileSystem&) = delete;
  FullFileSystem& operator=(const FullFileSystem&) = delete;

  bool mounted() const { return mounted_; }
  // Takes every byte left, in a file named filler.
  void fill() const {
    const int fd = open((folder_ + "/filler").c_str(), O_WRONLY | O_CREAT, 0644);
    const std::string block(4096, 'x');
    while (::write(fd, block.data(), block.size()) > 0) {}
    while (::write(fd, block.data(), 1) > 0) {}
    close(fd);
  }

 private:
  std::string folder_;
  bool mounted_ = false;
};

struct FullDiskCase {
  std::string what;
  std::string file;                // the output, in the folder "disk"
  std::vector<std::string> args;   // kalveno's (or kalveno-plot's)
  bool plot;
  std::string message;             // what the run says
};

// The old file at disk/<file> is as it was, and no temporary file is left.
void expect_untouched(const TempFolder& folder, const FullDiskCase& c, const std::string& old) {
  EXPECT_EQ(folder.read("disk/" + c.file), old);
  for (const auto& entry : std::filesystem::directory_iterator(folder.file("disk")))
    EXPECT_EQ(entry.path().filename().string().find(".part"), std::string::npos) << entry.path();
}

TEST(FullDisk, EveryOutputIsLeftAsItWasAndTheRunEndsWithStatus5) {
  const std::vector<FullDiskCase> cases = {
      {"table", "t.csv", {"--spatial", "--table=disk/t.csv", "in.txt", "out.txt"}, false,
       "WARNING: the table could not all be written to \"disk/t.csv\" (is the disk full?)."},
      {"local Moran's I", "l.txt", {"--local-moran=400", "--local-file=disk/l.txt", "in.txt", "out.txt"}, false,
       "WARNING: the local Moran's I could not all be written to \"disk/l.txt\" (is the disk full?)."},
      {"new variables", "nv.txt", {"--local-means=400", "--new-variables=disk/nv.txt", "in.txt", "out.txt"}, false,
       "WARNING: disk/nv.txt could not be written whole (is the disk full?)."},
      {"results appended", "out.txt", {"--spatial", "in.txt", "disk/out.txt"}, false,
       "WARNING: the results could not all be written to \"disk/out.txt\" (is the disk full?)."},
      {"correlogram", "correlogram_1_cadmium.svg", {"results.txt", "disk"}, true,
       "kalveno-plot: cannot write disk/correlogram_1_cadmium.svg"},
  };
  // A whole page of the file system: a byte more needs room it does not have.
  const std::string old = std::string(4095, 'o') + "\n";
  for (const FullDiskCase& c : cases) {
    for (const bool on_file_system : {true, false}) {
      SCOPED_TRACE(c.what + (on_file_system ? " on a full file system" : " with failing writes"));
      TempFolder folder;
      folder.write("in.txt", source_file("examples/meuse.txt"));
      folder.write("results.txt", source_file("tests/data/plot/complete.txt"));
      std::filesystem::create_directory(folder.file("disk"));
      FullFileSystem disk(folder.file("disk"));
      if (on_file_system && !disk.mounted()) continue;  // no mounting here: the hook alone
      folder.write("disk/" + c.file, old);
      if (on_file_system) disk.fill();
      const std::map<std::string, std::string> env =
          on_file_system ? std::map<std::string, std::string>{}
                         : std::map<std::string, std::string>{{"KALVENO_WRITE_FAULT", "disk/" + c.file + ":100"}};
      const ProgramRun run = c.plot ? run_program(KALVENO_PLOT_BINARY, folder.path(), c.args, "", env)
                                    : run_kalveno(folder.path(), c.args, "", env);
      EXPECT_EQ(run.status, 5) << run.output << run.errors;
      EXPECT_NE((c.plot ? run.errors : run.output).find(c.message), std::string::npos) << run.output << run.errors;
      expect_untouched(folder, c, old);
    }
  }
}

}  // namespace
}  // namespace kalveno::testing
