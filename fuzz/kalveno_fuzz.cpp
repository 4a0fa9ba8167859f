// Fuzzing driver: the whole program, from start-up to the end of the chosen
// analysis, on arbitrary data-file bytes and arbitrary console answers. An
// input is the data file, a NUL byte, then the answers; without a NUL byte
// it is all data file and no answer comes. Runs happen in a scratch folder
// of their own, with small memory and replicate ceilings so that every
// input finishes quickly.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

#include "flow/console.h"
#include "flow/menu.h"
#include "flow/startup.h"
#include "numeric/allocation.h"

namespace {

void enter_scratch_folder() {
  std::string folder = (std::filesystem::temp_directory_path() / "kalveno-fuzz-XXXXXX").string();
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  enter_scratch_folder();
  setenv("KALVENO_SEED", "1", 1);
  setenv("KALVENO_THREADS", "2", 1);
  kalveno::set_memory_budget(8u << 20);
  kalveno::set_randomization_ceiling(9);
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  std::string input(reinterpret_cast<const char*>(bytes), size);
  std::size_t split = input.find('\0');
  std::string data = input.substr(0, split);
  std::string answers = split == std::string::npos ? std::string() : input.substr(split + 1);

  for (const char* name : {"out.txt", "newvar.txt", "error.txt"}) std::remove(name);
  std::ofstream("in.txt", std::ios::binary) << data;

  std::istringstream in(answers);
  std::ostringstream out;
  kalveno::Console console(in, out);
  kalveno::run_kalveno(console, {"in.txt", "out.txt"});
  return 0;
}
