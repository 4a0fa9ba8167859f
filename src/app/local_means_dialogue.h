// Menu choice 3: local means, from the threshold question to the
// new-variables file (newvar.txt unless --new-variables names another).
#pragma once

namespace kalveno {

struct Session;

// Writes the new-variables file, the local means within threshold (negative:
// the focal sample left out); never when it is the data or the results file
// (status 5).
void run_local_means(Session& session, float threshold);

// Asks for the distance threshold; an answer that does not start with a
// number ends the run without writing anything. Otherwise writes the
// new-variables file and waits for Return.
void run_local_means(Session& session);

}  // namespace kalveno
