#include "app/results_file.h"

#include "base/console.h"
#include "base/program_end.h"
#include "base/text.h"

namespace kalveno {

void write_output(Console& console, const OutputTarget& target, const std::function<void(OutputFile&)>& write) {
  while (true) {
    OutputFile file(target.path, target.mode);
    if (file.is_open()) {
      write(file);
      if (file.close()) return;
      console.write(target.not_stored);
      end_program(kResultsUnwritable);
    }
    console.write(target.cannot_open);
    wait_key_or_stop(console, target.stopped);
  }
}

namespace {

OutputTarget results_target(const std::string& path, OutputFile::Mode mode) {
  return OutputTarget{
      path, mode,
      format("\nWARNING: Cannot open results file \"%s\".\nIf it is being used by another application, close it "
             "first. Then press RETURN.\nPress ctrl+c if you wish to stop the program now.\n",
             path.c_str()),
      "Stopped: the results file cannot be opened, and without a terminal no key press can say when to try again.",
      format("\nWARNING: the results could not all be written to \"%s\" (is the disk full?).\n", path.c_str())};
}

}  // namespace

void append_results(Console& console, const std::string& path, const std::function<void(OutputFile&)>& write) {
  write_output(console, results_target(path, OutputFile::kAppend), write);
}

void replace_results(Console& console, const std::string& path, const std::function<void(OutputFile&)>& write) {
  write_output(console, results_target(path, OutputFile::kReplace), write);
}

void replace_table(Console& console, const std::string& path, const std::function<void(OutputFile&)>& write) {
  const OutputTarget table{
      path, OutputFile::kReplace,
      format("\nWARNING: Cannot open the table file \"%s\".\nIf it is being used by another application, close it "
             "first. Then press RETURN.\n",
             path.c_str()),
      "Stopped: the table file cannot be opened, and without a terminal no key press can say when to try again.",
      format("\nWARNING: the table could not all be written to \"%s\" (is the disk full?).\n", path.c_str())};
  write_output(console, table, write);
}

void replace_new_variables(Console& console, const std::function<void(OutputFile&)>& write) {
  const OutputTarget new_variables{
      "newvar.txt", OutputFile::kReplace,
      "\nWARNING: Cannot open file \"newvar.txt\".\nIf it is being used by another application, close it first. "
      "Then press RETURN.\n",
      "Stopped: newvar.txt cannot be opened, and without a terminal no key press can say when to try again.",
      "\nWARNING: newvar.txt could not be written whole (is the disk full?).\n"};
  write_output(console, new_variables, write);
}

void replace_local_moran_values(Console& console, const std::string& path,
                                const std::function<void(OutputFile&)>& write) {
  const OutputTarget values{
      path, OutputFile::kReplace,
      format("\nWARNING: Cannot open the file of local Moran's I \"%s\".\nIf it is being used by another "
             "application, close it first. Then press RETURN.\n",
             path.c_str()),
      "Stopped: the file of local Moran's I cannot be opened, and without a terminal no key press can say when to "
      "try again.",
      format("\nWARNING: the local Moran's I could not all be written to \"%s\" (is the disk full?).\n",
             path.c_str())};
  write_output(console, values, write);
}

}  // namespace kalveno
