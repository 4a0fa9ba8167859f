// The names of the data file and of the results file, from the command line
// or the console dialogue. When they are settled the data file can be read
// and the results file exists and can be appended to.
#pragma once
#include <string>
#include <vector>

namespace kalveno {

class Console;

struct FileNames {
  std::string data_file;
  std::string results_file;
};

// args are the command-line arguments after the program name: none (both
// names asked), one (the data file, possibly in another folder, which becomes
// the working directory) or two (both names, nothing asked).
FileNames read_file_names(Console& console, const std::vector<std::string>& args);

}  // namespace kalveno
