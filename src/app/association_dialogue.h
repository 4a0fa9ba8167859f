// Menu choice 2: association between variables, from its question to its
// reports.
#pragma once
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

// Asks for the number of randomizations and, when there are any, whether to
// detail the tests.
AssociationChoices ask_association_choices(Console& console, const DataSet& data, int randomization_ceiling);

// Writes the coefficients as observed, then tests them: by toroidal
// randomization when the data have grids, then by complete randomization
// when asked for (always when there is no grid). A count of -1 runs nothing.
void run_association(Session& session, const AssociationChoices& choices);

// The dialogue, then the analysis.
void run_association(Session& session);

}  // namespace kalveno
