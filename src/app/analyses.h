// The table of analyses: one row for each, giving the option that chooses
// it, its place in the menu, the options of its own, the files it writes
// beside the results file, and the functions that ask its questions, read
// its choices from the options and run it. Start-up, the menu, the checks
// of the command line and of the output files, and the last line of a run
// go through this table; none of them names an analysis. Each analysis is a
// unit of its own under app/ (its questions in one file, its run in another).
#pragma once
#include <functional>
#include <optional>
#include <span>
#include <string>

#include "app/command_line.h"

namespace kalveno {

struct OutputFileKind;
struct Session;

// The run of an analysis chosen by options, its choices already checked
// against the data.
using ChosenRun = std::function<void(Session&)>;

struct Analysis {
  const OptionSpec* option;  // the option that chooses it: --spatial, --local-means=RADIUS
  // Its entry in the menu of the dialogue, and the line the entry adds when
  // the data have no grid (or nullptr); nullptr: only its option chooses it.
  const char* menu_entry;
  const char* menu_note_without_grids;
  // From the menu: asks its questions, then runs.
  void (*ask_and_run)(Session& session);
  // Its choices read from the options and checked against the data, before
  // anything is written (a refusal ends the run, status 6), then its run.
  ChosenRun (*from_options)(const Session& session);
  // What its own options cannot do together, or nothing (nullptr: nothing to check).
  std::optional<std::string> (*check_options)(const CommandLine& line);
  std::span<const OptionSpec* const> options;      // its own options
  std::span<const OutputFileKind* const> files;    // the files it writes beside the results file
  bool tested;                                     // -r, -b and -d apply to it
  // Why --table does not apply to it; nullptr: its statistics go into the table.
  const char* untabulated;
};

std::span<const Analysis> analyses();

// The analysis that option chooses, or nullptr.
const Analysis* analysis_chosen_by(const OptionSpec& option);
bool applies_to(const OptionSpec& option, const Analysis& analysis);
// The options of the analyses that pass, in the order of the table, as a
// list: "--a, --b or --c".
std::string options_of_analyses(const std::function<bool(const Analysis&)>& passes);
// "1, 2 or 3": the numbers from 1 to n as a list.
std::string list_of_numbers(int n);

// Where a file of that kind goes: the value of its option, or else its
// default name.
std::string output_path(const CommandLine& line, const OutputFileKind& kind);

}  // namespace kalveno
