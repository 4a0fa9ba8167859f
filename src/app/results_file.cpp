#include "app/results_file.h"

#include "base/console.h"
#include "base/program_end.h"

namespace kalveno {

OutputFile open_results_for_append(Console& console, const std::string& path) {
  while (true) {
    OutputFile file(path, OutputFile::kAppend);
    if (file.is_open()) return file;
    console.print("\nWARNING: Cannot open results file \"%s\".\nIf it is being used by another application, close "
                  "it first. Then press RETURN.\nPress ctrl+c if you wish to stop the program now.\n",
                  path.c_str());
    wait_key_or_stop(console, "Stopped: the results file cannot be opened, and without a terminal no key press "
                              "can say when to try again.");
  }
}

void close_results(Console& console, OutputFile& file, const std::string& path) {
  if (file.close()) return;
  console.print("\nWARNING: the results could not all be written to \"%s\" (is the disk full?).\n", path.c_str());
  end_program(kResultsUnwritable);
}

}  // namespace kalveno
