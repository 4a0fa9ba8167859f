#include "app/command_line.h"
#include "app/local_means/local_means_run.h"
#include "app/session.h"
#include "base/console.h"
#include "base/text.h"

namespace kalveno {

namespace {

std::optional<std::string> check_local_means_radius(const GivenOption& option, const CommandLine&) {
  if (auto problem = number_out_of_range(option)) return problem;
  if (!plain_number(option.value))
    return invalid_value(option.spelled, option.value, "a distance is expected (negative: the focal sample left out)");
  return std::nullopt;
}

const OptionSpec* const kLocalMeansOwnOptions[] = {&kNewVariablesOption};

}  // namespace

const OptionSpec kLocalMeansOption{.name = {"local-means", 0, true}, .check = check_local_means_radius};
const OptionSpec kNewVariablesOption{
    .name = {"new-variables", 0, true}, .scope = Scope::kOwnAnalysis, .check = check_file_name};

std::span<const OptionSpec* const> local_means_options() { return kLocalMeansOwnOptions; }

void ask_and_run_local_means(Session& session) {
  Console& console = session.console;
  console.print("\n\n\n\nVARIABLE DUPLICATION\n\nEnter the distance threshold for computing local means per "
                "quantitative variable (use a negative value for local means with the focal site excluded)\n");
  // An answer that does not start with a number, empty or not, computes nothing.
  ScannedFloat threshold = scan_float(console.read_line());
  if (!threshold.found) {
    console.write("\nNote: the distance threshold is not a number: no local means are computed.\n");
    return;
  }
  run_local_means(session, threshold.value);
  console.wait_return("end the run");
}

ChosenRun local_means_from_options(const Session& session) {
  const float threshold = *plain_number(*session.command_line.value_of(kLocalMeansOption));
  return [threshold](Session& chosen) { run_local_means(chosen, threshold); };
}

}  // namespace kalveno
