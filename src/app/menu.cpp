#include "app/menu.h"

#include "app/association_dialogue.h"
#include "app/local_means_dialogue.h"
#include "app/session.h"
#include "app/spatial_dialogue.h"
#include "base/console.h"
#include "base/text.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

namespace {

const char kNoAnalysisNote[] = "\nNote: the answer chose no analysis (1, 2 or 3): the run ends.\n";

}  // namespace

void run_analysis_menu(Session& session) {
  Console& console = session.console;
  console.print("\n\n\nSelect the analysis to perform:\n  1-Spatial autocorrelation\n  2-Correlation between "
                "variables");
  if (session.data.n_grids < 1) console.print("\n    (Warning: no toroidal tests available without grid defined)");
  console.print("\n  3-Computing local means for quantitative variable\n");
  ScannedInt choice = scan_int(console.read_line());
  if (!choice.found || !choice.in_range || choice.value < 1 || choice.value > 3) {
    console.write(kNoAnalysisNote);
    return;
  }
  switch (choice.value) {
    case 1:
      run_spatial_autocorrelation(session);
      break;
    case 2:
      run_association(session);
      break;
    case 3:
      run_local_means(session);
      break;
    default:
      break;
  }
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
