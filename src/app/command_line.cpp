#include "app/command_line.h"

#include <algorithm>

#include "base/console.h"
#include "base/parallel.h"
#include "base/program_end.h"
#include "base/text.h"
#include "data/data_set.h"
#include "numeric/random.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

namespace {

enum class Option {
  kHelp, kVersion, kSpatial, kAssociation, kLocalMeans, kRandomizations, kBothTests, kDetailed, kPairsBy,
  kSameState, kDistinctStates, kState, kInterval, kAppend, kReplace, kSeed, kThreads, kQuiet, kTable, kAdjust,
  kAnalytical, kNewVariables, kLocalMoran, kLocalFile, kGreatCircle, kClasses,
};

struct OptionName {
  const char* long_name;  // without its "--"
  char short_name;        // 0 for none
  bool takes_value;
  Option option;
};

const OptionName kOptions[] = {
    {"help", 'h', false, Option::kHelp},
    {"version", 0, false, Option::kVersion},
    {"spatial", 0, false, Option::kSpatial},
    {"association", 0, false, Option::kAssociation},
    {"local-means", 0, true, Option::kLocalMeans},
    {"local-moran", 0, true, Option::kLocalMoran},
    {"local-file", 0, true, Option::kLocalFile},
    {"randomizations", 'r', true, Option::kRandomizations},
    {"both-tests", 'b', false, Option::kBothTests},
    {"detailed", 'd', false, Option::kDetailed},
    {"pairs-by", 0, true, Option::kPairsBy},
    {"same-state", 0, false, Option::kSameState},
    {"distinct-states", 0, false, Option::kDistinctStates},
    {"state", 0, true, Option::kState},
    {"interval", 0, true, Option::kInterval},
    {"append", 0, false, Option::kAppend},
    {"replace", 0, false, Option::kReplace},
    {"seed", 0, true, Option::kSeed},
    {"threads", 'j', true, Option::kThreads},
    {"quiet", 'q', false, Option::kQuiet},
    {"table", 0, true, Option::kTable},
    {"adjust", 0, true, Option::kAdjust},
    {"analytical", 0, false, Option::kAnalytical},
    {"new-variables", 0, true, Option::kNewVariables},
    {"great-circle", 0, false, Option::kGreatCircle},
    {"classes", 0, true, Option::kClasses},
};

const char* analysis_option(ChosenAnalysis analysis) {
  switch (analysis) {
    case ChosenAnalysis::kSpatial: return "--spatial";
    case ChosenAnalysis::kAssociation: return "--association";
    case ChosenAnalysis::kLocalMeans: return "--local-means";
    case ChosenAnalysis::kLocalMoran: return "--local-moran";
    case ChosenAnalysis::kAsked: break;
  }
  return "";
}

// A whole decimal number from low to high, and nothing else.
std::optional<long long> whole_number(const std::string& value, long long low, long long high) {
  const ScannedInt number = scan_decimal(value);
  if (!number.found || number.end != value.size() || is_blank_char(value[0])) return std::nullopt;
  if (!number.in_range || number.value < low || number.value > high) return std::nullopt;
  return number.value;
}

// A number as the dialogue reads one ("%f"), and nothing else.
std::optional<float> plain_number(std::string_view value) {
  const ScannedFloat number = scan_float(value);
  if (!number.found || !number.in_range || number.end != value.size() || is_blank_char(value[0]))
    return std::nullopt;
  return number.value;
}

// The most classes --classes makes.
constexpr int kMostChosenClasses = 1000;

// The value of --classes: equal-count:C, equal-width:C or sturges, each
// with an optional ",MAX".
std::optional<ClassRule> read_class_rule(const std::string& value) {
  const std::size_t comma = value.find(',');
  const std::string rule = value.substr(0, comma);
  ClassRule chosen;
  if (comma != std::string::npos) {
    const std::optional<float> max = plain_number(std::string_view(value).substr(comma + 1));
    if (!max || !(*max > 0)) return std::nullopt;
    chosen.max_distance = *max;
  }
  if (rule == "sturges") {
    chosen.kind = ClassRuleKind::kSturges;
    return chosen;
  }
  const std::size_t colon = rule.find(':');
  const std::string name = rule.substr(0, colon);
  if (colon == std::string::npos || (name != "equal-count" && name != "equal-width")) return std::nullopt;
  const std::optional<long long> n_classes = whole_number(rule.substr(colon + 1), 1, kMostChosenClasses);
  if (!n_classes) return std::nullopt;
  chosen.kind = name == "equal-count" ? ClassRuleKind::kEqualCount : ClassRuleKind::kEqualWidth;
  chosen.n_classes = static_cast<int>(*n_classes);
  return chosen;
}

// Reads the options one by one; remembers the first spelling of those that
// later checks must name.
class Parser {
 public:
  Parser(int randomization_ceiling, CommandLine& line) : ceiling_(randomization_ceiling), line_(line) {}

  std::optional<std::string> parse(const std::vector<std::string>& args);

 private:
  std::optional<std::string> take(const OptionName& name, const std::string& spelled, const std::string& value);
  std::optional<std::string> check_combinations() const;
  std::optional<std::string> set_selection(PairSelection selection, const std::string& spelled);

  int ceiling_;
  CommandLine& line_;
  std::string analysis_spelled_, spatial_option_, test_option_, selection_option_;
};

std::optional<std::string> Parser::parse(const std::vector<std::string>& args) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& arg = args[i];
    if (options_ended || arg.size() < 2 || arg[0] != '-') {
      line_.files.push_back(arg);
      continue;
    }
    if (arg == "--") {
      options_ended = true;
      continue;
    }
    if (arg[1] == '-') {
      const std::size_t equals = arg.find('=');
      const std::string spelled = arg.substr(0, equals);
      const auto name = std::find_if(std::begin(kOptions), std::end(kOptions),
                                     [&](const OptionName& o) { return spelled == std::string("--") + o.long_name; });
      if (name == std::end(kOptions)) return "unrecognized option '" + spelled + "'";
      std::string value;
      if (equals != std::string::npos) {
        if (!name->takes_value) return "option '" + spelled + "' takes no value";
        value = arg.substr(equals + 1);
      } else if (name->takes_value) {
        if (i + 1 == args.size()) return "option '" + spelled + "' needs a value";
        value = args[++i];
      }
      if (auto problem = take(*name, spelled, value)) return problem;
      continue;
    }
    // One-letter options, several in one word; one that takes a value takes
    // the rest of the word, or else the next word.
    for (std::size_t at = 1; at < arg.size(); ++at) {
      const std::string spelled = std::string("-") + arg[at];
      const auto name = std::find_if(std::begin(kOptions), std::end(kOptions),
                                     [&](const OptionName& o) { return o.short_name == arg[at]; });
      if (name == std::end(kOptions)) return "invalid option '" + spelled + "'";
      std::string value;
      if (name->takes_value) {
        if (at + 1 < arg.size()) {
          value = arg.substr(at + 1);
        } else if (i + 1 < args.size()) {
          value = args[++i];
        } else {
          return "option '" + spelled + "' needs a value";
        }
        at = arg.size();
      }
      if (auto problem = take(*name, spelled, value)) return problem;
    }
  }
  if (line_.help || line_.version) return std::nullopt;
  return check_combinations();
}

std::optional<std::string> Parser::set_selection(PairSelection selection, const std::string& spelled) {
  if (line_.pair_selection != PairSelection::kAllPairs && line_.pair_selection != selection &&
      !(selection == PairSelection::kTwoStates && line_.pair_selection == PairSelection::kOneState))
    return spelled + ": one pair selection only (" + selection_option_ + " was given)";
  if (selection_option_.empty()) selection_option_ = spelled;
  line_.pair_selection = selection;
  return std::nullopt;
}

std::optional<std::string> Parser::take(const OptionName& name, const std::string& spelled,
                                        const std::string& value) {
  auto spatial_only = [&] {
    if (spatial_option_.empty()) spatial_option_ = spelled;
  };
  auto tested_only = [&] {
    if (test_option_.empty()) test_option_ = spelled;
  };
  auto invalid = [&](const std::string& expected) {
    return std::optional<std::string>("invalid value '" + value + "' for " + spelled + ": " + expected);
  };
  switch (name.option) {
    case Option::kHelp: line_.help = true; break;
    case Option::kVersion: line_.version = true; break;
    case Option::kSpatial:
    case Option::kAssociation:
    case Option::kLocalMeans:
    case Option::kLocalMoran: {
      const ChosenAnalysis analysis = name.option == Option::kSpatial       ? ChosenAnalysis::kSpatial
                                      : name.option == Option::kAssociation ? ChosenAnalysis::kAssociation
                                      : name.option == Option::kLocalMeans  ? ChosenAnalysis::kLocalMeans
                                                                            : ChosenAnalysis::kLocalMoran;
      if (line_.analysis != ChosenAnalysis::kAsked && line_.analysis != analysis)
        return spelled + ": one analysis per run (" + analysis_spelled_ + " was given)";
      line_.analysis = analysis;
      analysis_spelled_ = spelled;
      if (analysis == ChosenAnalysis::kLocalMeans) {
        const std::optional<float> radius = plain_number(value);
        if (!radius) return invalid("a distance is expected (negative: the focal sample left out)");
        line_.radius = *radius;
      }
      if (analysis == ChosenAnalysis::kLocalMoran) {
        const std::optional<float> radius = plain_number(value);
        if (!radius || !(*radius >= 0)) return invalid("a distance of 0 or more is expected");
        line_.radius = *radius;
      }
      break;
    }
    case Option::kRandomizations: {
      // The dialogue's rule for the number, once it is known to be one the
      // dialogue would run: -1 and the numbers beyond kMostReplicates run nothing
      // or no test there, and are refused here.
      const ScannedInt number = scan_int(value);
      const bool whole = number.found && number.end == value.size() && !is_blank_char(value[0]);
      if (!whole || number.value < -kMostReplicates || number.value > kMostReplicates || number.value == -1)
        return invalid(format("a whole number from 0 to %i is expected (from -%i to -2: both tests)", kMostReplicates,
                              kMostReplicates));
      line_.count = read_randomization_count(value, ceiling_);
      if (line_.count.both_kinds && line_.both_tests_option.empty()) line_.both_tests_option = spelled;
      tested_only();
      break;
    }
    case Option::kBothTests:
      line_.both_tests = true;
      if (line_.both_tests_option.empty()) line_.both_tests_option = spelled;
      tested_only();
      break;
    case Option::kDetailed:
      line_.detailed = true;
      if (line_.detailed_option.empty()) line_.detailed_option = spelled;
      tested_only();
      break;
    case Option::kPairsBy:
      if (value.empty()) return invalid("the name of a qualitative variable is expected");
      line_.pairs_by = value;
      line_.pairs_by_option = spelled + "=" + value;
      spatial_only();
      break;
    case Option::kSameState:
    case Option::kDistinctStates:
      spatial_only();
      return set_selection(name.option == Option::kSameState ? PairSelection::kSameState
                                                            : PairSelection::kDistinctStates,
                           spelled);
    case Option::kState: {
      spatial_only();
      if (line_.states.size() == 2) return spelled + ": at most two states select pairs";
      // Two given states are two distinct ones, as the dialogue asks.
      if (line_.states.size() == 1 && line_.states[0] == value)
        return spelled + "=" + value + ": the second state must differ from the first";
      line_.states.push_back(value);
      if (line_.state_option.empty()) line_.state_option = spelled;
      return set_selection(line_.states.size() == 1 ? PairSelection::kOneState : PairSelection::kTwoStates, spelled);
    }
    case Option::kInterval: {
      // MIN,MAX, read as the dialogue reads "MIN MAX".
      const std::size_t comma = value.find(',');
      std::optional<RegressionInterval> interval;
      if (comma != std::string::npos && plain_number(std::string_view(value).substr(0, comma)) &&
          plain_number(std::string_view(value).substr(comma + 1)))
        interval = read_regression_interval(value.substr(0, comma) + " " + value.substr(comma + 1));
      if (!interval) return invalid("MIN,MAX is expected, two distances with 0 <= MIN <= MAX");
      line_.interval = *interval;
      spatial_only();
      break;
    }
    case Option::kAppend: line_.existing = ExistingResults::kAppend; break;
    case Option::kReplace: line_.existing = ExistingResults::kReplace; break;
    case Option::kSeed:
      if (!whole_number(value, 1, kLargestSeed))
        return invalid(format("a whole number from 1 to %d is expected", kLargestSeed));
      line_.seed = value;
      break;
    case Option::kThreads:
      if (!whole_number(value, 1, kMostWorkers))
        return invalid(format("a whole number from 1 to %i is expected", kMostWorkers));
      line_.threads = value;
      break;
    case Option::kQuiet: line_.quiet = true; break;
    case Option::kGreatCircle: line_.great_circle = true; break;
    case Option::kClasses:
      line_.classes = read_class_rule(value);
      if (!line_.classes)
        return invalid(format("equal-count:C, equal-width:C or sturges is expected, each optionally followed by "
                              ",MAX (C from 1 to %d classes, MAX a distance above 0)",
                              kMostChosenClasses));
      line_.classes_option = spelled + "=" + value;
      break;
    case Option::kTable:
      if (value.empty()) return invalid("a file name is expected");
      line_.table = value;
      break;
    case Option::kAdjust:
      if (value == "none") line_.adjust = PAdjustment::kNone;
      else if (value == "holm") line_.adjust = PAdjustment::kHolm;
      else if (value == "progressive") line_.adjust = PAdjustment::kProgressive;
      else return invalid("none, holm or progressive is expected");
      spatial_only();
      break;
    case Option::kAnalytical:
      line_.analytical = true;
      spatial_only();
      break;
    case Option::kNewVariables:
      if (value.empty()) return invalid("a file name is expected");
      line_.new_variables = value;
      break;
    case Option::kLocalFile:
      if (value.empty()) return invalid("a file name is expected");
      line_.local_file = value;
      break;
  }
  return std::nullopt;
}

std::optional<std::string> Parser::check_combinations() const {
  const ChosenAnalysis analysis = line_.analysis;
  if (!spatial_option_.empty() && analysis != ChosenAnalysis::kSpatial)
    return spatial_option_ + (analysis == ChosenAnalysis::kAsked ? " needs --spatial"
                                                                 : " applies to --spatial only, not to " +
                                                                       analysis_spelled_);
  if (!test_option_.empty() && analysis != ChosenAnalysis::kSpatial && analysis != ChosenAnalysis::kAssociation &&
      analysis != ChosenAnalysis::kLocalMoran)
    return test_option_ + (analysis == ChosenAnalysis::kAsked ? " needs --spatial, --association or --local-moran"
                                                              : " applies to a tested analysis, not to " +
                                                                    analysis_spelled_);
  if (analysis == ChosenAnalysis::kLocalMoran) {
    // One test, the conditional randomization, and no detailed report.
    if (!line_.both_tests_option.empty())
      return line_.both_tests_option + ": --local-moran has no toroidal test (its test is the conditional "
                                       "randomization)";
    if (line_.detailed) return line_.detailed_option + ": --local-moran has no detailed report";
  }
  if (line_.local_file && analysis != ChosenAnalysis::kLocalMoran)
    return std::string("--local-file applies to --local-moran only") +
           (analysis == ChosenAnalysis::kAsked ? "" : ", not to " + analysis_spelled_);
  if (!line_.pairs_by.empty() && line_.pair_selection == PairSelection::kAllPairs)
    return line_.pairs_by_option + " needs --same-state, --distinct-states or --state";
  if (line_.pairs_by.empty() && line_.pair_selection != PairSelection::kAllPairs)
    return selection_option_ + " needs --pairs-by, the qualitative variable whose states select the pairs";
  // The classes serve the spatial analysis, which the dialogue may choose.
  if (line_.classes && analysis != ChosenAnalysis::kAsked && analysis != ChosenAnalysis::kSpatial)
    return line_.classes_option + " applies to --spatial only, not to " + analysis_spelled_;
  if (line_.table && analysis == ChosenAnalysis::kLocalMeans)
    return "--table: local means have no statistics to tabulate (they are written to the new-variables file)";
  if (line_.new_variables && (analysis == ChosenAnalysis::kSpatial || analysis == ChosenAnalysis::kAssociation ||
                              analysis == ChosenAnalysis::kLocalMoran))
    return "--new-variables applies to --local-means only, not to " + analysis_spelled_;
  // The dialogue ignores names after the second, as it always has.
  if (analysis != ChosenAnalysis::kAsked && line_.files.size() < 2)
    return std::string(analysis_option(analysis)) + " needs the data file and the results file: kalveno [OPTION]... "
                                                    "DATA_FILE RESULTS_FILE";
  if (analysis != ChosenAnalysis::kAsked && line_.files.size() > 2) return "extra operand '" + line_.files[2] + "'";
  return std::nullopt;
}

// The qualitative variables of data, for a message.
std::string qualitative_list(const DataSet& data) {
  const std::string names = data.qualitative_names();
  return names.empty() ? "the data have none" : "those of the data:" + names;
}

// The randomization count and whether both tests run, as the dialogue
// would have read them; a toroidal test needs grids.
std::optional<std::string> test_choices_of(const CommandLine& line, const DataSet& data, RandomizationCount& count,
                                           bool& detailed) {
  count = line.count;
  count.both_kinds = line.count.both_kinds || line.both_tests;
  if (count.both_kinds && count.n_rep > 0 && data.n_grids == 0)
    return line.both_tests_option + ": the toroidal test needs sampling grids, and the data file declares none";
  detailed = count.n_rep > 0 && line.detailed;
  return std::nullopt;
}

}  // namespace

std::optional<std::string> parse_command_line(const std::vector<std::string>& args, int randomization_ceiling,
                                              CommandLine& line) {
  return Parser(randomization_ceiling, line).parse(args);
}

std::vector<std::string> long_option_names() {
  std::vector<std::string> names;
  for (const OptionName& o : kOptions) names.push_back(std::string("--") + o.long_name);
  return names;
}

std::optional<std::string> spatial_choices_of(const CommandLine& line, const DataSet& data, SpatialChoices& choices) {
  PairFilter& filter = choices.filter;
  filter.selection = line.pair_selection;
  if (!line.pairs_by.empty()) {
    filter.variable = find_qualitative_variable(data, line.pairs_by);
    if (filter.variable == 0)
      return line.pairs_by_option + ": no qualitative variable of that name (" + qualitative_list(data) + ")";
    int* const state_numbers[] = {&filter.first_state, &filter.second_state};
    for (std::size_t s = 0; s < line.states.size(); ++s) {
      *state_numbers[s] = find_state(data, filter.variable, line.states[s]);
      if (*state_numbers[s] != 0) continue;
      std::string states;
      for (int a = 1; a <= data.var_kind[filter.variable]; ++a)
        states += " " + data.state_names[filter.variable][static_cast<std::size_t>(a)];
      return line.state_option + "=" + line.states[s] + ": no such state of " + line.pairs_by + " (its states:" +
             states + ")";
    }
  }
  choices.interval = line.interval;
  choices.adjust = line.adjust;
  choices.analytical = line.analytical;
  return test_choices_of(line, data, choices.count, choices.detailed_report);
}

std::optional<std::string> association_choices_of(const CommandLine& line, const DataSet& data,
                                                  AssociationChoices& choices) {
  return test_choices_of(line, data, choices.count, choices.detailed_report);
}

void refuse_command_line(Console& console, const std::string& problem) {
  console.error("kalveno: " + problem + "\nTry 'kalveno --help' for more information.\n");
  end_program(kOptionRefused);
}

void refuse_output_file(Console& console, const std::string& problem) {
  console.error("kalveno: " + problem + "\n");
  end_program(kOptionRefused);
}

}  // namespace kalveno
