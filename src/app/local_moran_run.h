// Local Moran's I, chosen by its option: the values of each sample, their
// conditional randomization test, the file of values per sample, the
// results-file section and the rows of the table.
#pragma once
#include <string>

namespace kalveno {

struct Session;

// The file of local Moran's I per sample unless --local-file names another.
inline constexpr char kLocalMoranFile[] = "localmoran.txt";

struct LocalMoranChoices {
  float radius = 0;  // neighbours within this distance
  int n_rep = 0;     // randomizations of each sample; 0: no test
  std::string values_file;
};

// Writes the file of values first, then the section that names it.
void run_local_moran(Session& session, const LocalMoranChoices& choices);

}  // namespace kalveno
