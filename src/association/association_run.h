// Menu choice 2: association between variables, from its dialogue to its reports.
#pragma once

namespace kalveno {

struct Session;

void run_association(Session& session);

}  // namespace kalveno
