// Menu choice 3: local means, from the threshold question to newvar.txt.
#pragma once

namespace kalveno {

struct Session;

// Asks for the distance threshold; an answer that does not start with a
// number ends the run without writing anything. Otherwise writes newvar.txt
// (never when it is the data or the results file: status 5) and waits for
// Return.
void run_local_means(Session& session);

}  // namespace kalveno
