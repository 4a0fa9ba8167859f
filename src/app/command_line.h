// The command line: the file names, and the options that choose an analysis
// and answer every question of its dialogue, so that a script can run it
// without any answer on standard input (read by base/option_scanner.h).
//
// The options come from two tables: the options of the run and of every
// tested analysis, here, and each analysis's own options, in its row of the
// table of analyses (app/analyses.h). Each option says which analyses it
// applies to; what a command line may combine follows from that, and from
// the check of each analysis's own options.
#pragma once
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/file_names.h"
#include "base/option_scanner.h"

namespace kalveno {

class Console;
struct Analysis;
struct CommandLine;
struct DataSet;
struct GivenOption;
struct RandomizationCount;

// The analyses an option applies to.
enum class Scope {
  kRun,           // the run, whatever its analysis, the dialogue's too
  kTested,        // every analysis with a randomization test
  kTabulated,     // every analysis whose statistics go into the table
  kOwnAnalysis,   // the analyses whose rows list it among their own options
};

struct OptionSpec {
  OptionName name;
  Scope scope = Scope::kRun;
  // Refused without an analysis option: it answers a question of the
  // analysis in place of its dialogue, which would ask it anyway.
  bool needs_analysis_option = false;
  // Named in refusals with its value ("--classes=sturges").
  bool named_with_value = false;
  // An option with a value may be given again (each value counts); any other
  // option with a value is refused the second time, rather than one of its
  // values being silently dropped.
  bool repeats = false;
  // When given, the data file's distance classes (its line 3) are not read.
  bool replaces_file_classes = false;
  // The check of its value, which may look at the options given before it;
  // nullptr takes any value.
  std::optional<std::string> (*check)(const GivenOption& option, const CommandLine& before) = nullptr;

  std::string long_form() const { return std::string("--") + name.long_name; }
};

struct GivenOption {
  const OptionSpec* spec;
  std::string spelled;  // as on the command line: "--seed", "-r"
  std::string value;    // "" for a flag
};

struct CommandLine {
  std::vector<std::string> files;      // the data file, then the results file
  const Analysis* analysis = nullptr;  // chosen by its option; nullptr: the dialogue asks
  std::vector<GivenOption> given;      // every option, in command-line order

  bool has(const OptionSpec& spec) const { return first(spec) != nullptr; }
  const GivenOption* first(const OptionSpec& spec) const;
  const GivenOption* last(const OptionSpec& spec) const;
  // The value of the last one given.
  std::optional<std::string> value_of(const OptionSpec& spec) const;
  // What to do with an existing results file: the last of --append and --replace.
  ExistingResults existing_results() const;
};

// The options of the run and of the tested analyses. Each analysis's own
// options are in its row of the table of analyses.
extern const OptionSpec kHelpOption, kVersionOption, kRandomizationsOption, kBothTestsOption, kDetailedOption,
    kAppendOption, kReplaceOption, kSeedOption, kThreadsOption, kQuietOption, kTableOption, kGreatCircleOption;

// Reads args (those after the program name) into line. On a mistake,
// returns one message naming the option or argument concerned.
std::optional<std::string> parse_command_line(const std::vector<std::string>& args, CommandLine& line);

// The long names of every option, with their leading "--".
std::vector<std::string> long_option_names();

// Readers of option values: a whole decimal number from low to high, and a
// number as the dialogue reads one ("%f"); nothing else in the value.
std::optional<long long> whole_number(const std::string& value, long long low, long long high);
std::optional<float> plain_number(std::string_view value);
// The refusal of a value holding a number beyond the single-precision range
// (each part of a value cut at its commas and colons is looked at), which
// says so and gives the largest number, or nullopt.
std::optional<std::string> number_out_of_range(const GivenOption& option);
// The check of an option that names a file: any name but an empty one.
std::optional<std::string> check_file_name(const GivenOption& option, const CommandLine& before);

// The randomization count and whether to detail the tests, as the dialogue
// would have read them from -r, -b and -d (a count capped at ceiling when
// that is above 0), or the message naming the option that asks for a
// toroidal test of data without grids.
std::optional<std::string> test_choices_of(const CommandLine& line, const DataSet& data, int ceiling,
                                           RandomizationCount& count, bool& detailed);
// The first -b, or -r with a negative count: the option that asked for both tests.
const GivenOption* option_asking_both_tests(const CommandLine& line);

// Says what is wrong with the command line and how to get help, on the
// error stream, and ends the run: status 6.
[[noreturn]] void refuse_command_line(Console& console, const std::string& problem);
// Says in one line on the error stream which output file cannot be written
// and why, and ends the run before anything is written: status 6.
[[noreturn]] void refuse_output_file(Console& console, const std::string& problem);

}  // namespace kalveno
