// Menu choice 3: local means of the quantitative variables, written to newvar.txt.
#pragma once

namespace kalveno {

struct Session;

void run_local_means(Session& session);

}  // namespace kalveno
