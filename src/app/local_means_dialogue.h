// Menu choice 3: local means, from the threshold question to newvar.txt.
#pragma once

namespace kalveno {

struct Session;

// Writes newvar.txt, the local means within threshold (negative: the focal
// sample left out); never when it is the data or the results file (status 5).
void run_local_means(Session& session, float threshold);

// Asks for the distance threshold; an answer that does not start with a
// number ends the run without writing anything. Otherwise writes newvar.txt
// and waits for Return.
void run_local_means(Session& session);

}  // namespace kalveno
