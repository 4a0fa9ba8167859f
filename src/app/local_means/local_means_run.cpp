#include "app/local_means/local_means_run.h"

#include "app/session.h"
#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "base/progress.h"
#include "base/text.h"
#include "descriptive/local_means.h"

namespace kalveno {

namespace {

OutputTarget new_variables_target(const std::string& path) {
  return OutputTarget{
      path, OutputFile::kReplace,
      format("\nWARNING: Cannot open file \"%s\".\nIf it is being used by another application, close it first. "
             "Then press RETURN.\n", path.c_str()),
      format("Stopped: %s cannot be opened, and without a terminal no key press can say when to try again.",
             path.c_str()),
      format("\nWARNING: %s could not be written whole (is the disk full?).\n", path.c_str())};
}

const OutputFileKind* const kLocalMeansFiles[] = {&kNewVariablesFile};

}  // namespace

const OutputFileKind kNewVariablesFile{&kNewVariablesOption, "newvar.txt", "the new-variables file", nullptr,
                                       "the local means", new_variables_target};

std::span<const OutputFileKind* const> local_means_files() { return kLocalMeansFiles; }

void run_local_means(Session& session, float threshold) {
  Console& console = session.console;
  const std::string file = output_path(session.command_line, kNewVariablesFile);
  // The new-variables file is replaced whole: never when it is the data or the results.
  if (same_file(file, session.data_file_name) || same_file(file, session.results_file_name)) {
    console.warn(format("\nWARNING: %s is the data file or the results file of this run; the new variables are "
                        "not written, so as not to erase it.\n", file.c_str()));
    end_program(kResultsUnwritable);
  }
  LocalMeans local;
  {
    Progress progress(console);
    local = local_means(session.allocator, session.data, threshold, &progress);
  }
  session.files.replace(kNewVariablesFile, file, [&](OutputFile& out) {
    write_new_variables(out, session.data, local, session.data_file_name, threshold);
  });
  session.written.push_back({&kNewVariablesFile, file});
  console.print("\nNew variables written in file: %s", file.c_str());
}

}  // namespace kalveno
