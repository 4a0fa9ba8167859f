// The analysis menu, and the two rules that the tested analyses share: how an
// answer becomes a number of randomizations, and whether test reports are to
// be detailed. One analysis per run; the program ends after it.
#pragma once
#include <string>

namespace kalveno {

class Console;
struct Session;

// Shows the menu, reads the choice ("%i") and runs the chosen analysis; any
// other answer runs nothing.
void run_analysis_menu(Session& session);

struct RandomizationCount {
  int n_rep = -1;           // -1: run nothing; 0: observed statistics only
  bool both_kinds = false;  // a negative answer asks for both kinds of randomization
  std::string note;         // a "Note: " line when the answer skips the analysis or its test, else empty
};

// An empty answer or a number beyond +-100000 gives 0; -100000..-2 gives its
// absolute value with both kinds; -1..100000 is taken as it is; an answer
// that does not start with a number leaves -1. A ceiling above 0 caps the
// count (the settings' randomization_ceiling). Answers that run no analysis
// (a word, -1) or no test (beyond +-100000, or a leading-0 octal number that
// reads as 0, such as 0999) come with a note for the console.
RandomizationCount read_randomization_count(const std::string& answer, int ceiling = 0);

// Asks whether test reports are to be detailed: any answer with a
// non-blank character says yes.
bool ask_detailed_report(Console& console);

// Says on the console, before a toroidal series of n_rep replicates, when
// the grids have so few distinct placements that replicates repeat the
// observed one (n_rep at least a tenth of them).
void note_toroidal_placements(Console& console, const Session& session, int n_rep);

}  // namespace kalveno
