// The command line: the file names, and the options that choose an analysis
// and answer every question of its dialogue, so that a script can run it
// without any answer on standard input. Options follow the GNU conventions:
// --name=VALUE or --name VALUE, a few one-letter forms (-r 999, -bdq), "--"
// ends the options, and a lone "-" is a file name.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "app/association_dialogue.h"
#include "app/file_names.h"
#include "app/spatial_dialogue.h"

namespace kalveno {

class Console;
struct DataSet;

enum class ChosenAnalysis { kAsked, kSpatial, kAssociation, kLocalMeans, kLocalMoran };

struct CommandLine {
  bool help = false, version = false;
  std::vector<std::string> files;  // the data file, then the results file
  ChosenAnalysis analysis = ChosenAnalysis::kAsked;
  // The spatial pair selection: a qualitative variable, how its states
  // select, and the states named.
  std::string pairs_by;
  PairSelection pair_selection = PairSelection::kAllPairs;
  std::vector<std::string> states;
  RegressionInterval interval;
  RandomizationCount count{0, false, {}};  // as the dialogue reads the same number
  bool both_tests = false;
  bool detailed = false;
  PAdjustment adjust = PAdjustment::kNone;  // spatial: the correction shown after each test
  bool analytical = false;                  // spatial: the analytical tests of Moran's I
  float radius = 0;  // of the local means, or the neighbours of local Moran's I
  ExistingResults existing = ExistingResults::kAsk;
  std::optional<std::string> seed, threads;  // checked; they win over the environment
  std::optional<std::string> table;          // the file of the tidy table
  std::optional<std::string> new_variables;  // the file of the local means, instead of newvar.txt
  std::optional<std::string> local_file;     // the file of local Moran's I, instead of localmoran.txt
  bool quiet = false;
  // The options as spelled on the command line, for messages.
  std::string both_tests_option, pairs_by_option, state_option, detailed_option;
};

// Reads args (those after the program name) into line. On a mistake,
// returns one message naming the option or argument concerned. A count of
// randomizations is capped at randomization_ceiling when that is above 0.
std::optional<std::string> parse_command_line(const std::vector<std::string>& args, int randomization_ceiling,
                                              CommandLine& line);

// The long names of every option, with their leading "--".
std::vector<std::string> long_option_names();

// The choices the command line makes for an analysis of data, or the
// message naming the option that asks for what data lack: an unknown
// qualitative variable or state, or a toroidal test without grids.
std::optional<std::string> spatial_choices_of(const CommandLine& line, const DataSet& data, SpatialChoices& choices);
std::optional<std::string> association_choices_of(const CommandLine& line, const DataSet& data,
                                                  AssociationChoices& choices);

// Says what is wrong with the command line and how to get help, on the
// error stream, and ends the run: status 6.
[[noreturn]] void refuse_command_line(Console& console, const std::string& problem);
// Says in one line on the error stream which output file cannot be written
// and why, and ends the run before anything is written: status 6.
[[noreturn]] void refuse_output_file(Console& console, const std::string& problem);

}  // namespace kalveno
