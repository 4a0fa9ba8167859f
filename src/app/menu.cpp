#include "app/menu.h"

#include <vector>

#include "app/analyses.h"
#include "app/session.h"
#include "base/console.h"
#include "base/text.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

void run_analysis_menu(Session& session) {
  Console& console = session.console;
  std::vector<const Analysis*> offered;
  console.print("\n\n\nSelect the analysis to perform:");
  for (const Analysis& analysis : analyses()) {
    if (analysis.menu_entry == nullptr) continue;
    offered.push_back(&analysis);
    console.print("\n  %zu-%s", offered.size(), analysis.menu_entry);
    if (analysis.menu_note_without_grids != nullptr && session.data.n_grids < 1)
      console.write(analysis.menu_note_without_grids);
  }
  console.print("\n");
  const int n_offered = static_cast<int>(offered.size());
  ScannedInt choice = scan_int(console.read_line());
  if (!choice.found || !choice.in_range || choice.value < 1 || choice.value > n_offered) {
    console.write("\nNote: the answer chose no analysis (" + list_of_numbers(n_offered) + "): the run ends.\n");
    return;
  }
  offered[static_cast<std::size_t>(choice.value - 1)]->ask_and_run(session);
}

RandomizationCount read_randomization_count(const std::string& answer, int ceiling) {
  RandomizationCount count;
  if (is_blank(answer)) {
    count.n_rep = 0;
    return count;
  }
  ScannedInt number = scan_int(answer);
  if (!number.found || number.value == -1) {
    count.note = "\nNote: no number of randomizations (or -1) was given: this analysis is not run.\n";
    count.n_rep = -1;
    return count;
  }
  if (number.value < -kMostReplicates || number.value > kMostReplicates) {
    count.n_rep = 0;
    count.note = "\nNote: more than " + std::to_string(kMostReplicates) +
                 " randomizations were asked for: the observed statistics are computed without test.\n";
  } else if (number.value == 0 && number.end < answer.size() && answer[number.end] >= '0' &&
             answer[number.end] <= '9') {
    // "0999": a leading 0 marks an octal number, which stops at the first 8 or 9.
    count.n_rep = 0;
    count.note = format("\nNote: \"%s\" reads as 0 randomizations (a leading 0 marks an octal number): the "
                        "observed statistics are computed without test.\n", std::string(trim_blanks(answer)).c_str());
  } else if (number.value <= -2) {
    count.n_rep = static_cast<int>(-number.value);
    count.both_kinds = true;
  } else {
    count.n_rep = static_cast<int>(number.value);
  }
  if (ceiling > 0 && count.n_rep > ceiling) count.n_rep = ceiling;
  return count;
}

bool ask_detailed_report(Console& console) {
  console.print("\n\nEnter 1 if you want a detailed report of randomization tests\n  otherwise press RETURN "
                "(significant values indicated by * only)\n");
  return !is_blank(console.read_line());
}

void note_toroidal_placements(Console& console, const Session& session, int n_rep) {
  const double placements = toroidal_placements(session.grid, session.data.n_grids);
  if (10.0 * n_rep < placements) return;
  console.print("\nNote: the toroidal randomization has only %.0f distinct placements of the grids; with %i "
                "randomizations about %.2g replicates repeat the observed placement, and the test cannot resolve P "
                "values below 1/%.0f.",
                placements, n_rep, n_rep / placements, placements);
}

}  // namespace kalveno
