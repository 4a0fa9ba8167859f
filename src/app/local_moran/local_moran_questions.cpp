#include "app/command_line.h"
#include "app/local_moran/local_moran_run.h"
#include "app/menu.h"
#include "app/session.h"

namespace kalveno {

namespace {

std::optional<std::string> check_local_moran_radius(const GivenOption& option, const CommandLine&) {
  if (auto problem = number_out_of_range(option)) return problem;
  const std::optional<float> radius = plain_number(option.value);
  if (!radius || !(*radius >= 0)) return invalid_value(option.spelled, option.value, "a distance of 0 or more is expected");
  return std::nullopt;
}

const OptionSpec* const kLocalMoranOwnOptions[] = {&kLocalFileOption};

}  // namespace

const OptionSpec kLocalMoranOption{.name = {"local-moran", 0, true}, .check = check_local_moran_radius};
const OptionSpec kLocalFileOption{
    .name = {"local-file", 0, true}, .scope = Scope::kOwnAnalysis, .check = check_file_name};

std::span<const OptionSpec* const> local_moran_options() { return kLocalMoranOwnOptions; }

std::optional<std::string> check_local_moran_options(const CommandLine& line) {
  if (const GivenOption* both_tests = option_asking_both_tests(line))
    return both_tests->spelled + ": --local-moran has no toroidal test (its test is the conditional randomization)";
  if (const GivenOption* detailed = line.first(kDetailedOption))
    return detailed->spelled + ": --local-moran has no detailed report";
  return std::nullopt;
}

ChosenRun local_moran_from_options(const Session& session) {
  const CommandLine& line = session.command_line;
  const std::optional<std::string> randomizations = line.value_of(kRandomizationsOption);
  const LocalMoranChoices choices{
      *plain_number(*line.value_of(kLocalMoranOption)),
      randomizations ? read_randomization_count(*randomizations, session.settings.randomization_ceiling).n_rep : 0,
      output_path(line, kLocalMoranFile)};
  return [choices](Session& chosen) { run_local_moran(chosen, choices); };
}

}  // namespace kalveno
