#include "app/association/association_run.h"
#include "app/command_line.h"
#include "app/session.h"
#include "base/console.h"

namespace kalveno {

const OptionSpec kAssociationOption{.name = {"association"}};

AssociationChoices ask_association_choices(Console& console, const DataSet& data, int randomization_ceiling) {
  if (data.n_grids >= 1)
    console.print("\n\n\n\nCORRELATION BETWEEN VARIABLES TESTED BY TORUS-TRANSLATIONS\n\nEnter # randomizations for "
                  "testing correlation between variables (e.g. 999)\n  use negative number for both toroidal and "
                  "complete randomization tests\n  or press RETURN to compute association coefficients without "
                  "test\n");
  else
    console.print("\n\n\n\nCORRELATION BETWEEN VARIABLES TESTED BY COMPLETE RANDOMIZATIONS\n\nEnter # "
                  "randomizations for testing correlation between variables (e.g. 999)\n  or press RETURN to "
                  "compute correlation coefficients without test\n\n  WARNING: no grid(s) defined for sample "
                  "positions\n    -> toroidal randomization tests not available\n    -> complete randomization "
                  "tests between spatially autocorrelated variables\n       should be liberal (i.e., excess of "
                  "statistically significant tests)\n");
  AssociationChoices choices;
  choices.count = read_randomization_count(console.read_line(), randomization_ceiling);
  console.write(choices.count.note);
  choices.detailed_report = choices.count.n_rep > 0 && ask_detailed_report(console);
  return choices;
}

void ask_and_run_association(Session& session) {
  run_association(session,
                  ask_association_choices(session.console, session.data, session.settings.randomization_ceiling));
}

ChosenRun association_from_options(const Session& session) {
  AssociationChoices choices;
  if (auto problem = test_choices_of(session.command_line, session.data, session.settings.randomization_ceiling,
                                     choices.count, choices.detailed_report))
    refuse_command_line(session.console, *problem);
  return [choices](Session& chosen) {
    // The dialogue's count question says this; an option run asks nothing.
    if (chosen.data.n_grids < 1 && choices.count.n_rep > 0)
      chosen.console.warn("\nWarning: no grid is defined for the sample positions, so only the complete "
                          "randomization test runs; between spatially autocorrelated variables it is liberal "
                          "(an excess of significant tests).\n");
    run_association(chosen, choices);
  };
}

}  // namespace kalveno
