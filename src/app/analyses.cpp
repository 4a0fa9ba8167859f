#include "app/analyses.h"

#include <vector>

#include "app/results_file.h"

#include "app/association/association_run.h"
#include "app/local_means/local_means_run.h"
#include "app/local_moran/local_moran_run.h"
#include "app/spatial/spatial_run.h"

namespace kalveno {

namespace {

// Items as a list: "a", "a or b", "a, b or c".
std::string list_of(const std::vector<std::string>& items) {
  std::string list;
  for (std::size_t i = 0; i < items.size(); ++i)
    list += (i == 0 ? "" : i + 1 == items.size() ? " or " : ", ") + items[i];
  return list;
}

}  // namespace

std::span<const Analysis> analyses() {
  // In the order of the menu and of the help text.
  static const Analysis table[] = {
      {.option = &kSpatialOption,
       .menu_entry = "Spatial autocorrelation",
       .menu_note_without_grids = nullptr,
       .ask_and_run = ask_and_run_spatial,
       .from_options = spatial_from_options,
       .check_options = check_spatial_options,
       .options = spatial_options(),
       .files = {},
       .tested = true,
       .untabulated = nullptr},
      {.option = &kAssociationOption,
       .menu_entry = "Correlation between variables",
       .menu_note_without_grids = "\n    (Warning: no toroidal tests available without grid defined)",
       .ask_and_run = ask_and_run_association,
       .from_options = association_from_options,
       .check_options = nullptr,
       .options = {},
       .files = {},
       .tested = true,
       .untabulated = nullptr},
      {.option = &kLocalMeansOption,
       .menu_entry = "Computing local means for quantitative variable",
       .menu_note_without_grids = nullptr,
       .ask_and_run = ask_and_run_local_means,
       .from_options = local_means_from_options,
       .check_options = nullptr,
       .options = local_means_options(),
       .files = local_means_files(),
       .tested = false,
       .untabulated = "local means have no statistics to tabulate (they are written to the new-variables file)"},
      {.option = &kLocalMoranOption,
       .menu_entry = nullptr,
       .menu_note_without_grids = nullptr,
       .ask_and_run = nullptr,
       .from_options = local_moran_from_options,
       .check_options = check_local_moran_options,
       .options = local_moran_options(),
       .files = local_moran_files(),
       .tested = true,
       .untabulated = nullptr},
  };
  return table;
}

const Analysis* analysis_chosen_by(const OptionSpec& option) {
  for (const Analysis& analysis : analyses())
    if (analysis.option == &option) return &analysis;
  return nullptr;
}

bool applies_to(const OptionSpec& option, const Analysis& analysis) {
  switch (option.scope) {
    case Scope::kRun: return true;
    case Scope::kTested: return analysis.tested;
    case Scope::kTabulated: return analysis.untabulated == nullptr;
    case Scope::kOwnAnalysis: break;
  }
  for (const OptionSpec* own : analysis.options)
    if (own == &option) return true;
  return false;
}

std::string options_of_analyses(const std::function<bool(const Analysis&)>& passes) {
  std::vector<std::string> options;
  for (const Analysis& analysis : analyses())
    if (passes(analysis)) options.push_back(analysis.option->long_form());
  return list_of(options);
}

std::string list_of_numbers(int n) {
  std::vector<std::string> numbers;
  for (int i = 1; i <= n; ++i) numbers.push_back(std::to_string(i));
  return list_of(numbers);
}

std::string output_path(const CommandLine& line, const OutputFileKind& kind) {
  if (const std::optional<std::string> named = line.value_of(*kind.option)) return *named;
  return kind.default_name != nullptr ? kind.default_name : "";
}

}  // namespace kalveno
