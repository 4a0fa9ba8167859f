// Local Moran's I (--local-moran=RADIUS; no menu choice): the values of each
// sample with its neighbours within RADIUS, their conditional randomization
// test, the file of values per sample (localmoran.txt unless --local-file
// names another), the results-file section and the rows of the table. Its
// questions, all answered by options, are in local_moran_questions.cpp; its
// run in local_moran_run.cpp.
#pragma once
#include <optional>
#include <span>
#include <string>

#include "app/analyses.h"
#include "app/results_file.h"

namespace kalveno {

struct Session;

extern const OptionSpec kLocalMoranOption;
// --local-file=FILE, its own option, and the file it names.
extern const OptionSpec kLocalFileOption;
std::span<const OptionSpec* const> local_moran_options();
extern const OutputFileKind kLocalMoranFile;
std::span<const OutputFileKind* const> local_moran_files();

// One test, the conditional randomization, and no detailed report: -b, and
// -r with a negative count, are refused, and so is -d.
std::optional<std::string> check_local_moran_options(const CommandLine& line);
// The radius, the randomizations of -r and the file of values.
ChosenRun local_moran_from_options(const Session& session);

struct LocalMoranChoices {
  float radius = 0;  // neighbours within this distance
  int n_rep = 0;     // randomizations of each sample; 0: no test
  std::string values_file;
};

// Writes the file of values first, then the section that names it.
void run_local_moran(Session& session, const LocalMoranChoices& choices);

}  // namespace kalveno
