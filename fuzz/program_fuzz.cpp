// Fuzzing target: the whole program, from start-up to the end of the chosen
// analysis, on arbitrary data-file bytes and arbitrary console answers. An
// input is one byte choosing how the program is started ('o': the first
// answer line holds options, split at blanks, given before both file names;
// another even byte: both names on the command line; odd: both names asked),
// the data file, a NUL byte, then the answers; without a NUL byte no answer
// comes.
// Runs happen in a scratch folder of their own, emptied before each run,
// with small memory and replicate ceilings so that every input finishes
// quickly.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "base/console.h"
#include "scratch_folder.h"

namespace {

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
  kalveno::fuzzing::enter_scratch_folder("kalveno-fuzz");
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const bool options_given = bytes[0] == 'o', names_asked = !options_given && bytes[0] % 2 == 1;
  std::string input(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  std::size_t split = input.find('\0');
  std::string data = input.substr(0, split);
  std::string answers = split == std::string::npos ? std::string() : input.substr(split + 1);
  // Asked names and table files stay in the scratch folder: no folder
  // separator. No option may ask for more threads than the settings give.
  if ((names_asked || options_given) && answers.find_first_of("/\\") != std::string::npos) return -1;
  std::vector<std::string> args;
  if (options_given) {
    const std::string line = answers.substr(0, answers.find('\n'));
    if (line.find('j') != std::string::npos || line.find("thr") != std::string::npos) return -1;
    std::istringstream words(line);
    for (std::string word; words >> word;) args.push_back(word);
    answers.erase(0, line.size() + 1);
  }
  if (!names_asked) args.insert(args.end(), {"in.txt", "out.txt"});

  kalveno::fuzzing::empty_scratch_folder();
  std::ofstream("in.txt", std::ios::binary) << data;

  std::istringstream in(answers);
  std::ostringstream out;
  kalveno::Console console(in, out);
  const kalveno::RunSettings settings = fuzz_settings();
  kalveno::run_kalveno(console, args, settings);
  return 0;
}
