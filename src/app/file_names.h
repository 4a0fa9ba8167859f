// The names of the data file and of the results file, from the command line
// or the console dialogue. When they are settled the data file can be read
// and the results file can be written (it is not made or emptied yet).
#pragma once
#include <string>
#include <vector>

namespace kalveno {

class Console;

// What to do with a results file that exists already: ask, add to it, or
// empty it when the run writes its first section.
enum class ExistingResults { kAsk, kAppend, kReplace };

struct FileNames {
  std::string data_file;
  std::string results_file;
  bool replace_results = false;  // the dialogue was answered 'e': emptied by the first section
};

// files are the file names of the command line: none (both names asked), one
// (the data file, possibly in another folder, which becomes the working
// directory) or two (both names, nothing asked). Unless existing is kAsk,
// the question about an existing results file is not asked.
FileNames read_file_names(Console& console, const std::vector<std::string>& files,
                          ExistingResults existing = ExistingResults::kAsk);

// Both names of a run that asks nothing: shown as read_file_names shows
// them, a data file that cannot be read refused (status 2), a results file
// that is the data file too refused (status 6). The results file is not
// touched.
FileNames given_file_names(Console& console, const std::string& data_file, const std::string& results_file);

}  // namespace kalveno
