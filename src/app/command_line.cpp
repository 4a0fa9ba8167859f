#include "app/command_line.h"

#include <algorithm>
#include <limits>

#include "app/analyses.h"
#include "app/menu.h"
#include "base/console.h"
#include "base/parallel.h"
#include "base/program_end.h"
#include "base/text.h"
#include "data/data_set.h"
#include "numeric/random.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

namespace {

std::optional<std::string> check_randomizations(const GivenOption& option, const CommandLine&) {
  // The dialogue's rule for the number, once it is known to be one the
  // dialogue would run: -1 and the numbers beyond kMostReplicates run nothing or no
  // test there, and are refused here.
  const std::string& value = option.value;
  const ScannedInt number = scan_int(value);
  const bool whole = number.found && number.end == value.size() && !is_blank_char(value[0]);
  if (!whole || number.value < -kMostReplicates || number.value > kMostReplicates || number.value == -1)
    return invalid_value(option.spelled, value,
                         format("a whole number from 0 to %i is expected (from -%i to -2: both tests)",
                                kMostReplicates, kMostReplicates));
  return std::nullopt;
}

std::optional<std::string> check_seed(const GivenOption& option, const CommandLine&) {
  if (!whole_number(option.value, 1, kLargestSeed))
    return invalid_value(option.spelled, option.value, format("a whole number from 1 to %i is expected", kLargestSeed));
  return std::nullopt;
}

std::optional<std::string> check_threads(const GivenOption& option, const CommandLine&) {
  if (!whole_number(option.value, 1, kMostWorkers))
    return invalid_value(option.spelled, option.value, format("a whole number from 1 to %i is expected", kMostWorkers));
  return std::nullopt;
}

// The options of the run and of the tested analyses, in the order of the help text.
const OptionSpec* const kSharedOptions[] = {
    &kHelpOption, &kVersionOption, &kRandomizationsOption, &kBothTestsOption, &kDetailedOption, &kAppendOption,
    &kReplaceOption, &kSeedOption, &kThreadsOption, &kQuietOption, &kTableOption, &kGreatCircleOption,
};

// Every option: those above, then each analysis's option and its own.
std::vector<const OptionSpec*> every_option() {
  std::vector<const OptionSpec*> options(std::begin(kSharedOptions), std::end(kSharedOptions));
  for (const Analysis& analysis : analyses()) {
    options.push_back(analysis.option);
    for (const OptionSpec* own : analysis.options)
      if (std::find(options.begin(), options.end(), own) == options.end()) options.push_back(own);
  }
  return options;
}

// Keeps one option in line, once it is known to fit with those before it:
// one analysis per run, and a value its check takes.
std::optional<std::string> take_option(const OptionSpec& spec, const std::string& spelled, const std::string& value,
                                       CommandLine& line) {
  if (const Analysis* chosen = analysis_chosen_by(spec)) {
    if (line.analysis != nullptr && line.analysis != chosen)
      return spelled + ": one analysis per run (" + line.analysis->option->long_form() + " was given)";
    line.analysis = chosen;
  }
  if (spec.name.takes_value && !spec.repeats) {
    if (const GivenOption* before = line.first(spec))
      return spelled + " given twice ('" + before->value + "', then '" + value + "'): it takes one value";
  }
  GivenOption option{&spec, spelled, value};
  if (spec.check != nullptr) {
    if (auto problem = spec.check(option, line)) return problem;
  }
  line.given.push_back(std::move(option));
  return std::nullopt;
}

// How a refusal names the analyses an option applies to: "a tested
// analysis", "--spatial only".
std::string scope_words(const OptionSpec& spec) {
  if (spec.scope == Scope::kTested) return "a tested analysis";
  return options_of_analyses([&](const Analysis& analysis) { return applies_to(spec, analysis); }) + " only";
}

// Without an analysis option: an option of analyses the menu does not offer
// cannot apply, and one that answers an analysis's question needs its option.
std::optional<std::string> refusal_without_analysis(const OptionSpec& spec, const std::string& named) {
  const std::span<const Analysis> all = analyses();
  const bool offered = std::any_of(all.begin(), all.end(), [&](const Analysis& analysis) {
    return analysis.menu_entry != nullptr && applies_to(spec, analysis);
  });
  if (!offered) return named + " applies to " + scope_words(spec);
  if (spec.needs_analysis_option)
    return named + " needs " + options_of_analyses([&](const Analysis& a) { return applies_to(spec, a); });
  return std::nullopt;
}

// The refusal of an option that does not apply to the analysis chosen, or
// to the dialogue.
std::optional<std::string> refusal_of(const GivenOption& option, const CommandLine& line) {
  const OptionSpec& spec = *option.spec;
  if (spec.scope == Scope::kRun) return std::nullopt;
  const std::string named = spec.named_with_value ? option.spelled + "=" + option.value : option.spelled;
  if (line.analysis == nullptr) return refusal_without_analysis(spec, named);
  if (applies_to(spec, *line.analysis)) return std::nullopt;
  if (spec.scope == Scope::kTabulated) return named + ": " + line.analysis->untabulated;
  return named + " applies to " + scope_words(spec) + ", not to " + line.analysis->option->long_form();
}

// What the options cannot do together, once each was taken: the first that
// does not apply to the analysis chosen, then the analysis's own check, then
// the file names.
std::optional<std::string> check_combinations(const CommandLine& line) {
  for (const GivenOption& option : line.given)
    if (auto problem = refusal_of(option, line)) return problem;
  if (line.analysis == nullptr) return std::nullopt;  // the dialogue ignores names after the second
  if (line.analysis->check_options != nullptr) {
    if (auto problem = line.analysis->check_options(line)) return problem;
  }
  if (line.files.size() < 2)
    return line.analysis->option->long_form() +
           " needs the data file and the results file: kalveno [OPTION]... DATA_FILE RESULTS_FILE";
  if (line.files.size() > 2) return "extra operand '" + line.files[2] + "'";
  return std::nullopt;
}

}  // namespace

const OptionSpec kHelpOption{.name = {"help", 'h'}};
const OptionSpec kVersionOption{.name = {"version"}};
const OptionSpec kRandomizationsOption{.name = {"randomizations", 'r', true}, .scope = Scope::kTested,
                                       .needs_analysis_option = true, .check = check_randomizations};
const OptionSpec kBothTestsOption{.name = {"both-tests", 'b'}, .scope = Scope::kTested, .needs_analysis_option = true};
const OptionSpec kDetailedOption{.name = {"detailed", 'd'}, .scope = Scope::kTested, .needs_analysis_option = true};
const OptionSpec kAppendOption{.name = {"append"}};
const OptionSpec kReplaceOption{.name = {"replace"}};
const OptionSpec kSeedOption{.name = {"seed", 0, true}, .check = check_seed};
const OptionSpec kThreadsOption{.name = {"threads", 'j', true}, .check = check_threads};
const OptionSpec kQuietOption{.name = {"quiet", 'q'}};
const OptionSpec kTableOption{.name = {"table", 0, true}, .scope = Scope::kTabulated, .check = check_file_name};
const OptionSpec kGreatCircleOption{.name = {"great-circle"}};

const GivenOption* CommandLine::first(const OptionSpec& spec) const {
  const auto found = std::find_if(given.begin(), given.end(), [&](const GivenOption& o) { return o.spec == &spec; });
  return found == given.end() ? nullptr : &*found;
}

const GivenOption* CommandLine::last(const OptionSpec& spec) const {
  const auto found = std::find_if(given.rbegin(), given.rend(), [&](const GivenOption& o) { return o.spec == &spec; });
  return found == given.rend() ? nullptr : &*found;
}

std::optional<std::string> CommandLine::value_of(const OptionSpec& spec) const {
  const GivenOption* option = last(spec);
  return option ? std::optional<std::string>(option->value) : std::nullopt;
}

ExistingResults CommandLine::existing_results() const {
  for (auto option = given.rbegin(); option != given.rend(); ++option) {
    if (option->spec == &kAppendOption) return ExistingResults::kAppend;
    if (option->spec == &kReplaceOption) return ExistingResults::kReplace;
  }
  return ExistingResults::kAsk;
}

std::optional<std::string> parse_command_line(const std::vector<std::string>& args, CommandLine& line) {
  const std::vector<const OptionSpec*> options = every_option();
  std::vector<const OptionName*> names;
  for (const OptionSpec* option : options) names.push_back(&option->name);
  const std::optional<std::string> problem =
      scan_options(names, args, line.files, [&](std::size_t index, const std::string& spelled, const std::string& value) {
        return take_option(*options[index], spelled, value, line);
      });
  if (problem) return problem;
  if (line.has(kHelpOption) || line.has(kVersionOption)) return std::nullopt;
  return check_combinations(line);
}

std::vector<std::string> long_option_names() {
  std::vector<std::string> names;
  for (const OptionSpec* option : every_option()) names.push_back(option->long_form());
  return names;
}

std::optional<long long> whole_number(const std::string& value, long long low, long long high) {
  const ScannedInt number = scan_decimal(value);
  if (!number.found || number.end != value.size() || is_blank_char(value[0])) return std::nullopt;
  if (!number.in_range || number.value < low || number.value > high) return std::nullopt;
  return number.value;
}

std::optional<float> plain_number(std::string_view value) {
  const ScannedFloat number = scan_float(value);
  if (!number.found || !number.in_range || number.end != value.size() || is_blank_char(value[0]))
    return std::nullopt;
  return number.value;
}

std::optional<std::string> number_out_of_range(const GivenOption& option) {
  std::string_view rest = option.value;
  while (!rest.empty()) {
    const std::size_t cut = rest.find_first_of(",:");
    const std::string_view part = rest.substr(0, cut);
    const ScannedFloat number = scan_float(part);
    if (number.found && !number.in_range && number.end == part.size())
      return invalid_value(option.spelled, option.value,
                           format("%.*s is out of range (a number is at most %.8g in size)", static_cast<int>(part.size()),
                                  part.data(), static_cast<double>(std::numeric_limits<float>::max())));
    rest = cut == std::string_view::npos ? std::string_view() : rest.substr(cut + 1);
  }
  return std::nullopt;
}

std::optional<std::string> check_file_name(const GivenOption& option, const CommandLine&) {
  if (option.value.empty()) return invalid_value(option.spelled, option.value, "a file name is expected");
  return std::nullopt;
}

const GivenOption* option_asking_both_tests(const CommandLine& line) {
  for (const GivenOption& option : line.given) {
    if (option.spec == &kBothTestsOption) return &option;
    if (option.spec == &kRandomizationsOption && read_randomization_count(option.value).both_kinds) return &option;
  }
  return nullptr;
}

std::optional<std::string> test_choices_of(const CommandLine& line, const DataSet& data, int ceiling,
                                           RandomizationCount& count, bool& detailed) {
  const std::optional<std::string> randomizations = line.value_of(kRandomizationsOption);
  count = randomizations ? read_randomization_count(*randomizations, ceiling) : RandomizationCount{0, false, {}};
  count.both_kinds = count.both_kinds || line.has(kBothTestsOption);
  if (count.both_kinds && count.n_rep > 0 && data.n_grids == 0)
    return option_asking_both_tests(line)->spelled +
           ": the toroidal test needs sampling grids, and the data file declares none";
  detailed = count.n_rep > 0 && line.has(kDetailedOption);
  return std::nullopt;
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
