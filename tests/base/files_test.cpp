// The output files of the file layer: a replacement reaches the file that a
// link names and keeps its permissions, a write cut short by an exception
// leaves the file as it was, and the check before a run opens each output as
// it will be written, without changing it. (A full disk: e2e/full_disk_test.)
#include <gtest/gtest.h>

#include <filesystem>
#include <new>
#include <optional>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

#include "base/files.h"
#include "support/run_program.h"

namespace kalveno {
namespace {

namespace fs = std::filesystem;
using testing::TempFolder;

mode_t permissions_of(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 ? info.st_mode & 07777 : 0;
}

bool replace(const std::string& path, const std::string& text) {
  OutputFile out(path, OutputFile::kReplace);
  out.write(text);
  return out.close();
}

TEST(OutputFile, ReplacesTheFileALinkNamesAndKeepsItsPermissions) {
  TempFolder folder;
  fs::create_directory(folder.file("real"));
  folder.write("real/t.txt", "old");
  chmod(folder.file("real/t.txt").c_str(), 0640);
  fs::create_symlink("real/t.txt", folder.file("link.txt"));
  fs::create_symlink("real/made.txt", folder.file("dangling.txt"));

  ASSERT_TRUE(replace(folder.file("link.txt"), "new"));
  ASSERT_TRUE(replace(folder.file("dangling.txt"), "made"));
  EXPECT_TRUE(fs::is_symlink(folder.file("link.txt")));
  EXPECT_TRUE(fs::is_symlink(folder.file("dangling.txt")));
  EXPECT_EQ(folder.read("real/t.txt"), "new");
  EXPECT_EQ(folder.read("real/made.txt"), "made");
  EXPECT_EQ(permissions_of(folder.file("real/t.txt")), 0640u);
  const mode_t mask = umask(0);
  umask(mask);
  EXPECT_EQ(permissions_of(folder.file("real/made.txt")), 0666u & ~mask);
  EXPECT_EQ(folder.names(), (std::set<std::string>{"dangling.txt", "link.txt", "real"}));
}

// Whatever throws while a file is written (memory, say), the file is as it
// was: a replacement is dropped, an append cut back.
TEST(OutputFile, AnExceptionWhileWritingLeavesTheFileAsItWas) {
  for (const OutputFile::Mode mode : {OutputFile::kReplace, OutputFile::kAppend}) {
    TempFolder folder;
    folder.write("t.txt", "old\n");
    try {
      OutputFile out(folder.file("t.txt"), mode);
      out.write(std::string(100000, 'x'));
      throw std::bad_alloc();
    } catch (const std::bad_alloc&) {
    }
    EXPECT_EQ(folder.read("t.txt"), "old\n") << mode;
    EXPECT_EQ(folder.names(), std::set<std::string>{"t.txt"}) << mode;
  }
}

TEST(OutputFile, TheCheckOpensEachOutputAsItWillBeWrittenAndChangesNothing) {
  TempFolder folder;
  folder.write("results.txt", "earlier\n");
  fs::create_directory(folder.file("sub"));
  const struct {
    std::string path;
    std::optional<std::string> problem;
  } cases[] = {
      {"/proc/x.txt", "its folder takes no new files"},
      {folder.file("missing/x.txt"), "no such folder"},
      {folder.file("sub"), "a folder has that name"},
      {folder.file("sub/"), "no file name"},
      {folder.file("results.txt"), std::nullopt},
      {folder.file("new.txt"), std::nullopt},
  };
  for (const auto& c : cases) {
    for (const OutputFile::Mode mode : {OutputFile::kAppend, OutputFile::kReplace}) {
      EXPECT_EQ(why_cannot_write(c.path, mode), c.problem) << c.path << " " << mode;
    }
  }
  EXPECT_EQ(folder.names(), (std::set<std::string>{"results.txt", "sub"}));
  EXPECT_EQ(folder.read("results.txt"), "earlier\n");

  // A file that may not be written, in a folder that may: the superuser
  // may write any file, so only others can see it refused.
  if (geteuid() == 0) GTEST_SKIP() << "run as root: a file without write permission is still writable";
  folder.write("read_only.txt", "kept\n");
  chmod(folder.file("read_only.txt").c_str(), 0444);
  for (const OutputFile::Mode mode : {OutputFile::kAppend, OutputFile::kReplace}) {
    EXPECT_EQ(why_cannot_write(folder.file("read_only.txt"), mode), "permission denied");
    EXPECT_FALSE(OutputFile(folder.file("read_only.txt"), mode).is_open());
  }
}

}  // namespace
}  // namespace kalveno
