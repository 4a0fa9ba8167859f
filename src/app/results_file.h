// The files the program writes: the results file, only ever appended to
// (emptied first when asked for), and the table and the files of the
// analyses (newvar.txt, say), replaced whole. Each writer is handed the file
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
struct OptionSpec;

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

// The warnings of a file the program replaces, named in them as what (which
// cannot be opened) and contents (which could not all be written).
OutputTarget named_target(const std::string& path, const char* what, const char* contents);

// A file that the program replaces whole: the table, or a file an analysis
// writes beside the results file.
struct OutputFileKind {
  const OptionSpec* option;  // the option that names it
  const char* default_name;  // when the option is not given; nullptr: only the option names it
  const char* what;          // in messages: "the new-variables file"
  const char* contents;      // in the warning that it could not all be written: "the table"
  const char* finished_as;   // in the run's last line: "the local means" (to "FILE")
  // The warnings while it is written, when named_target's are not its own.
  OutputTarget (*target_of)(const std::string& path) = nullptr;
};

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
  // Replaces the file of that kind at path with what write writes.
  void replace(const OutputFileKind& kind, const std::string& path, const Write& write);

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

// Runs test, a randomization test of total items (replicates, samples:
// counted names them, "complete randomizations"), with Ctrl+C (and SIGTERM,
// SIGHUP) caught. When one comes, appends to the results file at path one
// line saying how many were done and that this test has no results, and ends
// the run with status 128 + the signal's number (130 for Ctrl+C); what the
// file held before stays. (A run over several processes holds that line with
// the rest, and its first process writes them once every process has
// stopped.)
void run_interruptible(Console& console, OutputFiles& files, const std::string& path, int total,
                       const std::string& counted, const std::function<void()>& test);
// What a series of randomizations of that kind counts: "complete randomizations".
std::string randomizations_counted(Randomization randomization);

}  // namespace kalveno
