// Association between variables (menu choice 2, --association): the
// coefficients between every two variables and their randomization tests.
// Its questions, asked by the dialogue or answered by its options, are in
// association_questions.cpp; its run in association_run.cpp.
#pragma once
#include "app/analyses.h"
#include "app/menu.h"

namespace kalveno {

class Console;
struct DataSet;
struct Session;

// The answers of the association dialogue.
struct AssociationChoices {
  RandomizationCount count;
  bool detailed_report = false;
};

extern const OptionSpec kAssociationOption;

// Asks for the number of randomizations and, when there are any, whether to
// detail the tests.
AssociationChoices ask_association_choices(Console& console, const DataSet& data, int randomization_ceiling);
// The dialogue, then the analysis.
void ask_and_run_association(Session& session);
// The choices of the options, or the refusal of a toroidal test without grids.
ChosenRun association_from_options(const Session& session);

// Writes the coefficients as observed, then tests them: by toroidal
// randomization when the data have grids, then by complete randomization
// when asked for (always when there is no grid). A count of -1 runs nothing.
void run_association(Session& session, const AssociationChoices& choices);

}  // namespace kalveno
