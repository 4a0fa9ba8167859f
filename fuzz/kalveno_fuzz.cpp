// Fuzzing driver: the whole program, from start-up to the end of the chosen
// analysis, on arbitrary data-file bytes and arbitrary console answers. An
// input is one byte choosing how the program is started (even: data and
// results files named on the command line; odd: both names asked), the data
// file, a NUL byte, then the answers; without a NUL byte no answer comes.
// Runs happen in a scratch folder of their own, emptied before each run,
// with small memory and replicate ceilings so that every input finishes
// quickly.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "app/settings.h"
#include "app/startup.h"
#include "base/console.h"

namespace {

void enter_scratch_folder() {
  std::string folder = (std::filesystem::temp_directory_path() / "kalveno-fuzz-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) std::abort();
}

// A fixed seed, two workers, 8 MB for the largest block and at most nine
// replicates per series.
kalveno::RunSettings fuzz_settings() {
  kalveno::RunSettings settings;
  settings.seed = "1";
  settings.threads = "2";
  settings.memory_budget = 8u << 20;
  settings.randomization_ceiling = 9;
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  enter_scratch_folder();
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const bool names_asked = bytes[0] % 2 == 1;
  std::string input(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  std::size_t split = input.find('\0');
  std::string data = input.substr(0, split);
  std::string answers = split == std::string::npos ? std::string() : input.substr(split + 1);
  // Asked names stay in the scratch folder: no folder separator.
  if (names_asked && answers.find_first_of("/\\") != std::string::npos) return -1;

  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(".")) std::filesystem::remove_all(entry.path(), ignored);
  std::ofstream("in.txt", std::ios::binary) << data;

  std::istringstream in(answers);
  std::ostringstream out;
  kalveno::Console console(in, out);
  const kalveno::RunSettings settings = fuzz_settings();
  if (names_asked)
    kalveno::run_kalveno(console, {}, settings);
  else
    kalveno::run_kalveno(console, {"in.txt", "out.txt"}, settings);
  return 0;
}
