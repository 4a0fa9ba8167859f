// The files the program writes: the results file, only ever appended to
// (emptied first when asked for), and newvar.txt, the table and the file of
// local Moran's I per sample, replaced whole. Each writer is handed the file
// open, writes its part and lets it be closed here, so that the results file
// is never held open between sections and nothing written earlier can be
// lost.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "base/files.h"
#include "randomization/permutation.h"

namespace kalveno {

class Console;

// A file to write and what to say about it: the warning before each retry
// while it cannot be opened, the line that stops the run when no key press
// can say when to retry, and the warning when what was written could not be
// stored whole.
struct OutputTarget {
  std::string path;
  OutputFile::Mode mode;
  std::string cannot_open;
  std::string stopped;
  std::string not_stored;
};

// Opens target (warning and waiting for a key while it cannot be opened;
// without a terminal: stops, status 4), hands it to write and closes it.
// When it could not be stored whole (a full disk), says so rather than let
// the run pass for a success, and ends with status 5.
void write_output(Console& console, const OutputTarget& target, const std::function<void(OutputFile&)>& write);

// When the files of a run reach the disk: as each part is done (one
// process), once the whole run has succeeded (the first of several
// processes, so that a failure in any of them leaves every file as it was),
// or never (the other processes, which compute but write nothing).
enum class Writing { kAtOnce, kAtEnd, kNever };

class OutputFiles {
 public:
  using Write = std::function<void(OutputFile&)>;
  OutputFiles(Console& console, Writing writing) : console_(console), writing_(writing) {}

  // Appends a section to the results file at path.
  void append_results(const std::string& path, const Write& write);
  // Empties the results file at path, then writes the first section of the run.
  void replace_results(const std::string& path, const Write& write);
  // Replaces the table file at path with what write writes.
  void replace_table(const std::string& path, const Write& write);
  // Replaces the new-variables file at path (newvar.txt unless
  // --new-variables names another) with what write writes.
  void replace_new_variables(const std::string& path, const Write& write);
  // Replaces the file of local Moran's I per sample at path with what write writes.
  void replace_local_moran_values(const std::string& path, const Write& write);

  // Whether this process writes any of these files.
  bool writes() const { return writing_ != Writing::kNever; }
  // Writes what was held for the end, in order: the parts of one file
  // together, opened once.
  void write_held();

 private:
  void output(const OutputTarget& target, const Write& write);

  struct Held {
    OutputTarget target;
    std::string text;
  };
  Console& console_;
  Writing writing_;
  std::vector<Held> held_;
};

// Runs series, a randomization test of n_rep replicates, with Ctrl+C (and
// SIGTERM, SIGHUP) caught. When one comes, appends to the results file at
// path one line saying how many replicates were done and that this test has
// no results, and ends the run with status 128 + the signal's number (130
// for Ctrl+C); what the file held before stays. (A run over several
// processes holds that line with the rest, and writes none.)
void run_interruptible_series(Console& console, OutputFiles& files, const std::string& path,
                              Randomization randomization, int n_rep, const std::function<void()>& series);
// The same for the conditional test of local Moran's I, counted in samples.
void run_interruptible_local_test(Console& console, OutputFiles& files, const std::string& path, int n_samples,
                                  const std::function<void()>& test);

}  // namespace kalveno
