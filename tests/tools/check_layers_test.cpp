// tools/check-layers, run by ctest on the real tree, must also catch an
// include that looks up, on a tree of its own.
#include <gtest/gtest.h>

#include <filesystem>

#include "support/run_program.h"

namespace kalveno::testing {
namespace {

// A scratch tree holding the script and the given file under src/.
ProgramRun check_tree(const TempFolder& folder, const std::string& file, const std::string& content) {
  std::filesystem::create_directories(folder.file("tools"));
  std::filesystem::copy_file(std::string(KALVENO_SOURCE_DIR) + "/tools/check-layers",
                             folder.file("tools/check-layers"));
  std::filesystem::create_directories(std::filesystem::path(folder.file(file)).parent_path());
  folder.write(file, content);
  return run_program(folder.file("tools/check-layers").c_str(), folder.path(), {}, "");
}

TEST(CheckLayers, RefusesAnIncludeOfAHigherLayerOrOfMpi) {
  TempFolder up;
  ProgramRun run = check_tree(up, "src/numeric/random.cpp", "#include \"numeric/random.h\"\n#include \"app/menu.h\"\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("src/numeric/random.cpp includes app/, which is not below numeric/"), std::string::npos);

  TempFolder sideways;
  EXPECT_EQ(check_tree(sideways, "src/spatial/moran.cpp", "#include \"association/coefficients.h\"\n").status, 1);

  // kalveno stays free of MPI: only kalveno-mpi's folder may include it.
  TempFolder message_passing;
  run = check_tree(message_passing, "src/randomization/replicate_runner.cpp", "#include <mpi.h>\n");
  EXPECT_EQ(run.status, 1);
  EXPECT_NE(run.errors.find("src/randomization/replicate_runner.cpp includes mpi.h"), std::string::npos);
}

TEST(CheckLayers, AcceptsIncludesOfLowerLayers) {
  TempFolder down;
  ProgramRun run = check_tree(down, "src/app/menu.cpp", "#include \"spatial/moran.h\"\n#include \"base/text.h\"\n");
  EXPECT_EQ(run.status, 0) << run.errors;
}

}  // namespace
}  // namespace kalveno::testing
