#include <limits>
#include <optional>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/session.h"
#include "app/spatial/spatial_run.h"
#include "base/console.h"
#include "base/program_end.h"
#include "base/text.h"
#include "data/data_lookups.h"

namespace kalveno {

namespace {

// The pair selection that the options before one chose, and the first of
// them as spelled, for messages.
struct SelectionSoFar {
  PairSelection selection = PairSelection::kAllPairs;
  const GivenOption* first = nullptr;
  std::vector<std::string> states;  // of --state, in order
};

SelectionSoFar selection_of(const CommandLine& line);

// One pair selection only; two --state options make one, of two states.
std::optional<std::string> check_selection(const GivenOption& option, PairSelection wanted,
                                           const CommandLine& before) {
  const SelectionSoFar so_far = selection_of(before);
  const PairSelection chosen = so_far.selection;
  if (chosen != PairSelection::kAllPairs && chosen != wanted &&
      !(wanted == PairSelection::kTwoStates && chosen == PairSelection::kOneState))
    return option.spelled + ": one pair selection only (" + so_far.first->spelled + " was given)";
  return std::nullopt;
}

std::optional<std::string> check_same_state(const GivenOption& option, const CommandLine& before) {
  return check_selection(option, PairSelection::kSameState, before);
}

std::optional<std::string> check_distinct_states(const GivenOption& option, const CommandLine& before) {
  return check_selection(option, PairSelection::kDistinctStates, before);
}

// At most two states, and two given states are two distinct ones, as the
// dialogue asks.
std::optional<std::string> check_state(const GivenOption& option, const CommandLine& before) {
  const std::vector<std::string> states = selection_of(before).states;
  if (states.size() == 2) return option.spelled + ": at most two states select pairs";
  if (states.size() == 1 && states[0] == option.value)
    return option.spelled + "=" + option.value + ": the second state must differ from the first";
  return check_selection(option, states.empty() ? PairSelection::kOneState : PairSelection::kTwoStates, before);
}

std::optional<std::string> check_pairs_by(const GivenOption& option, const CommandLine&) {
  if (option.value.empty())
    return invalid_value(option.spelled, option.value, "the name of a qualitative variable is expected");
  return std::nullopt;
}

// MIN,MAX, read as the dialogue reads "MIN MAX".
std::optional<RegressionInterval> interval_of(const std::string& value) {
  const std::size_t comma = value.find(',');
  if (comma == std::string::npos || !plain_number(std::string_view(value).substr(0, comma)) ||
      !plain_number(std::string_view(value).substr(comma + 1)))
    return std::nullopt;
  return read_regression_interval(value.substr(0, comma) + " " + value.substr(comma + 1));
}

std::optional<std::string> check_interval(const GivenOption& option, const CommandLine&) {
  if (auto problem = number_out_of_range(option)) return problem;
  if (!interval_of(option.value))
    return invalid_value(option.spelled, option.value, "MIN,MAX is expected, two distances with 0 <= MIN <= MAX");
  return std::nullopt;
}

std::optional<PAdjustment> adjustment_of(const std::string& value) {
  if (value == "none") return PAdjustment::kNone;
  if (value == "holm") return PAdjustment::kHolm;
  if (value == "progressive") return PAdjustment::kProgressive;
  return std::nullopt;
}

std::optional<std::string> check_adjust(const GivenOption& option, const CommandLine&) {
  if (!adjustment_of(option.value))
    return invalid_value(option.spelled, option.value, "none, holm or progressive is expected");
  return std::nullopt;
}

// The most classes --classes makes.
constexpr int kMostChosenClasses = 1000;

// The bounds themselves: increasing distances above 0, comma-separated, read
// as the data file's line 3 is (single precision).
std::optional<ClassRule> class_bounds_of(const std::string& value) {
  ClassRule chosen;
  chosen.kind = ClassRuleKind::kBounds;
  for (std::size_t start = 0; start <= value.size();) {
    const std::size_t comma = std::min(value.find(',', start), value.size());
    const std::optional<float> bound = plain_number(std::string_view(value).substr(start, comma - start));
    if (!bound || !(*bound > 0) || (!chosen.bounds.empty() && !(*bound > chosen.bounds.back())) ||
        chosen.bounds.size() == kMostChosenClasses)
      return std::nullopt;
    chosen.bounds.push_back(*bound);
    start = comma + 1;
  }
  chosen.n_classes = static_cast<int>(chosen.bounds.size());
  return chosen;
}

// The value of --classes: equal-count:C, equal-width:C or sturges, each
// with an optional ",MAX", or the bounds themselves.
std::optional<ClassRule> class_rule_of(const std::string& value) {
  if (!value.empty() && ((value[0] >= '0' && value[0] <= '9') || value[0] == '.')) return class_bounds_of(value);
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

std::optional<std::string> check_classes(const GivenOption& option, const CommandLine&) {
  if (auto problem = number_out_of_range(option)) return problem;
  if (!class_rule_of(option.value))
    return invalid_value(option.spelled, option.value,
                         format("equal-count:C, equal-width:C or sturges is expected, each optionally followed by "
                                ",MAX (C from 1 to %d classes, MAX a distance above 0 and at most %.8g), or the "
                                "upper bounds themselves, increasing distances above 0 (370,600,770)",
                                kMostChosenClasses, static_cast<double>(std::numeric_limits<float>::max())));
  return std::nullopt;
}

// Options that answer the questions of the dialogue, which would ask them
// anyway, need --spatial; --classes also serves the dialogue's spatial analysis.
constexpr OptionSpec spatial_question(OptionName name, auto check) {
  return OptionSpec{.name = name, .scope = Scope::kOwnAnalysis, .needs_analysis_option = true, .check = check};
}

const OptionSpec kPairsByOption = spatial_question({"pairs-by", 0, true}, check_pairs_by);
const OptionSpec kSameStateOption = spatial_question({"same-state"}, check_same_state);
const OptionSpec kDistinctStatesOption = spatial_question({"distinct-states"}, check_distinct_states);
// Given twice: pairs with one sample in each of the two states.
const OptionSpec kStateOption = [] {
  OptionSpec state = spatial_question({"state", 0, true}, check_state);
  state.repeats = true;
  return state;
}();
const OptionSpec kIntervalOption = spatial_question({"interval", 0, true}, check_interval);
const OptionSpec kAdjustOption = spatial_question({"adjust", 0, true}, check_adjust);
const OptionSpec kAnalyticalOption = spatial_question({"analytical"}, nullptr);
const OptionSpec kClassesOption{.name = {"classes", 0, true},
                                .scope = Scope::kOwnAnalysis,
                                .named_with_value = true,
                                .replaces_file_classes = true,
                                .check = check_classes};

const OptionSpec* const kSpatialOwnOptions[] = {
    &kPairsByOption, &kSameStateOption, &kDistinctStatesOption, &kStateOption,
    &kIntervalOption, &kAdjustOption,   &kAnalyticalOption,     &kClassesOption,
};

SelectionSoFar selection_of(const CommandLine& line) {
  SelectionSoFar so_far;
  for (const GivenOption& option : line.given) {
    if (option.spec == &kSameStateOption) so_far.selection = PairSelection::kSameState;
    else if (option.spec == &kDistinctStatesOption) so_far.selection = PairSelection::kDistinctStates;
    else if (option.spec == &kStateOption) so_far.states.push_back(option.value);
    else continue;
    if (option.spec == &kStateOption)
      so_far.selection = so_far.states.size() == 1 ? PairSelection::kOneState : PairSelection::kTwoStates;
    if (so_far.first == nullptr) so_far.first = &option;
  }
  return so_far;
}

// The qualitative variables of data, for a message.
std::string qualitative_list(const DataSet& data) {
  const std::string names = data.qualitative_names();
  return names.empty() ? "the data have none" : "those of the data:" + names;
}

// The pairs --pairs-by and its selection choose, or the message naming the
// variable or state the data lack.
std::optional<std::string> pair_filter_of(const CommandLine& line, const DataSet& data, PairFilter& filter) {
  const SelectionSoFar selection = selection_of(line);
  filter.selection = selection.selection;
  const GivenOption* pairs_by = line.last(kPairsByOption);
  if (pairs_by == nullptr) return std::nullopt;
  const std::string named = pairs_by->spelled + "=" + pairs_by->value;
  filter.variable = find_qualitative_variable(data, pairs_by->value);
  if (filter.variable == 0) return named + ": no qualitative variable of that name (" + qualitative_list(data) + ")";
  int* const state_numbers[] = {&filter.first_state, &filter.second_state};
  for (std::size_t s = 0; s < selection.states.size(); ++s) {
    *state_numbers[s] = find_state(data, filter.variable, selection.states[s]);
    if (*state_numbers[s] != 0) continue;
    std::string states;
    for (int a = 1; a <= data.var_kind[filter.variable]; ++a)
      states += " " + data.state_names[filter.variable][static_cast<std::size_t>(a)];
    return line.first(kStateOption)->spelled + "=" + selection.states[s] + ": no such state of " + pairs_by->value +
           " (its states:" + states + ")";
  }
  return std::nullopt;
}

// --classes, which the dialogue's analysis takes too.
void read_class_choice(const CommandLine& line, SpatialChoices& choices) {
  if (const GivenOption* classes = line.last(kClassesOption)) {
    choices.classes = class_rule_of(classes->value);
    choices.classes_option = classes->spelled + "=" + classes->value;
  }
}

std::optional<std::string> spatial_choices_of(const CommandLine& line, const DataSet& data, int ceiling,
                                              SpatialChoices& choices) {
  if (auto problem = pair_filter_of(line, data, choices.filter)) return problem;
  if (const std::optional<std::string> interval = line.value_of(kIntervalOption))
    choices.interval = *interval_of(*interval);
  if (const std::optional<std::string> adjust = line.value_of(kAdjustOption)) choices.adjust = *adjustment_of(*adjust);
  choices.analytical = line.has(kAnalyticalOption);
  read_class_choice(line, choices);
  return test_choices_of(line, data, ceiling, choices.count, choices.detailed_report);
}

// Asks for a state of variable v by its whole name until one is given.
int ask_state(Console& console, const DataSet& data, int v, const char* prompt) {
  const std::vector<std::string>& states = data.state_names[v];
  while (true) {
    console.print("%s", prompt);
    const std::string answer = console.read_line();
    if (console.input_ended())
      stop_without_answer(console, "Stopped: input ended before a class name was given.");
    if (const int s = find_state(data, v, answer); s != 0) return s;
    console.print("\n\"%s\" is not recognized as a class name; it must be one of the following name:\n",
                  answer.c_str());
    for (int s = 1; s <= data.var_kind[v]; ++s) console.print("  %s", states[static_cast<std::size_t>(s)].c_str());
  }
}

// The menu of pair selections, answered 1 to 4.
PairSelection pair_selection(int answer) {
  switch (answer) {
    case 1: return PairSelection::kSameState;
    case 2: return PairSelection::kDistinctStates;
    case 3: return PairSelection::kOneState;
    default: return PairSelection::kTwoStates;
  }
}

// Asks for the pair selection until the answer is 1, 2, 3 or 4.
int ask_pair_selection(Console& console) {
  while (true) {
    console.print("\nDo you want to select pairs of\n  1-same class\n  2-distinct classes\n  3-the same given class\n  "
                  "4-two given distinct classes\n");
    const ScannedInt mode = scan_int(console.read_line());
    if (console.input_ended())
      stop_without_answer(console, "Stopped: input ended before the kind of sample pairs (1 to 4) was given.");
    if (mode.found && mode.value >= 1 && mode.value <= 4) return static_cast<int>(mode.value);
    console.print("\nAnswer 1, 2, 3 or 4.");
  }
}

// Asks for the qualitative variable that selects pairs until one is named,
// or Return says none; 0 for none.
int ask_selecting_variable(Console& console, const DataSet& data) {
  console.print("\n\nTo select specific sample pairs according to a qualitative variable, \nenter the name of the "
                "variable, otherwise press RETURN\n");
  while (true) {
    const std::string answer = console.read_line();
    const std::string_view word = first_word(answer);
    if (word.empty()) return 0;
    if (const int variable = find_qualitative_variable(data, word); variable != 0) return variable;
    console.print("\nVariable not recognized. List of qualitative variables: ");
    for (int v = 1; v <= data.n_variables; ++v)
      if (data.is_qualitative(v)) console.print("  %s", data.var_names[v].c_str());
    console.print("\n");
  }
}

PairFilter ask_pair_filter(Console& console, const DataSet& data) {
  PairFilter filter;
  filter.variable = ask_selecting_variable(console, data);
  if (filter.variable == 0) {
    filter.selection = PairSelection::kAllPairs;
    return filter;
  }
  const int answer = ask_pair_selection(console);
  filter.selection = pair_selection(answer);
  if (answer >= 3)
    filter.first_state = ask_state(console, data, filter.variable,
                                   answer == 3 ? "\nEnter the name of the selected class : "
                                               : "\nEnter the name of the first selected class : ");
  if (answer == 4) {
    // Two given distinct classes: the second cannot be the first.
    while (true) {
      filter.second_state =
          ask_state(console, data, filter.variable, "\nEnter the name of the second selected class : ");
      if (filter.second_state != filter.first_state) break;
      console.print("\nThe second class must differ from the first, \"%s\".",
                    data.state_names[filter.variable][static_cast<std::size_t>(filter.first_state)].c_str());
    }
  }
  return filter;
}

// Asked again until read_regression_interval takes the answer.
RegressionInterval ask_regression_interval(Console& console) {
  while (true) {
    console.print("\n\nTo restrict the regression of Iij on distance to a distance interval\nenter the min and max "
                  "distances separated by a space, otherwise press RETURN\n");
    const std::optional<RegressionInterval> interval = read_regression_interval(console.read_line());
    if (interval) return *interval;
  }
}

}  // namespace

const OptionSpec kSpatialOption{.name = {"spatial"}};

std::span<const OptionSpec* const> spatial_options() { return kSpatialOwnOptions; }

std::optional<std::string> check_spatial_options(const CommandLine& line) {
  const GivenOption* pairs_by = line.last(kPairsByOption);
  const SelectionSoFar selection = selection_of(line);
  if (pairs_by != nullptr && selection.selection == PairSelection::kAllPairs)
    return pairs_by->spelled + "=" + pairs_by->value + " needs --same-state, --distinct-states or --state";
  if (pairs_by == nullptr && selection.selection != PairSelection::kAllPairs)
    return selection.first->spelled + " needs --pairs-by, the qualitative variable whose states select the pairs";
  return std::nullopt;
}

std::optional<RegressionInterval> read_regression_interval(std::string_view answer) {
  if (is_blank(answer)) return RegressionInterval{};
  const ScannedFloat low = scan_float(answer);
  if (!low.found || !low.in_range) return std::nullopt;
  const ScannedFloat high = scan_float(answer.substr(low.end));
  if (!high.found || !high.in_range) return std::nullopt;
  if (low.value >= 0 && high.value >= 0 && low.value <= high.value) return RegressionInterval{low.value, high.value};
  return std::nullopt;
}

SpatialChoices ask_spatial_choices(Console& console, const DataSet& data, int randomization_ceiling) {
  SpatialChoices choices;
  console.print("\n\n\n\nSPATIAL AUTOCORRELATION ANALYSES");
  choices.filter = ask_pair_filter(console, data);
  choices.interval = ask_regression_interval(console);
  console.print("\n\nEnter # randomizations for testing spatial autocorrelation (e.g. 999)");
  if (data.n_grids != 0)
    console.print("\n  use negative # (e.g. -999) to assess the impact of toroidal randomizations");
  console.print("\n  or press RETURN to compute Moran's I statistics without test\n");
  choices.count = read_randomization_count(console.read_line(), randomization_ceiling);
  console.write(choices.count.note);
  choices.detailed_report = choices.count.n_rep > 0 && ask_detailed_report(console);
  return choices;
}

void ask_and_run_spatial(Session& session) {
  SpatialChoices choices =
      ask_spatial_choices(session.console, session.data, session.settings.randomization_ceiling);
  read_class_choice(session.command_line, choices);
  run_spatial_autocorrelation(session, choices);
}

ChosenRun spatial_from_options(const Session& session) {
  SpatialChoices choices;
  if (auto problem = spatial_choices_of(session.command_line, session.data, session.settings.randomization_ceiling,
                                        choices))
    refuse_command_line(session.console, *problem);
  return [choices](Session& chosen) { run_spatial_autocorrelation(chosen, choices); };
}

}  // namespace kalveno
