// Everything one run of the program holds, from start-up to its end: the
// console, the settings, the command line, the processes it is spread over,
// the files it writes, the allocator, the generator, the file names, the
// data and what is built from it. Nothing here belongs to one analysis.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "app/results_file.h"
#include "app/settings.h"
#include "base/allocation.h"
#include "data/data_set.h"
#include "numeric/random.h"
#include "numeric/statistics_table.h"
#include "randomization/permutation.h"
#include "randomization/process_group.h"
#include "randomization/sample_grid.h"
#include "spatial/pair_distances.h"

namespace kalveno {

class Console;

struct WrittenFile {
  const OutputFileKind* kind;
  std::string path;
};

struct Session {
 private:
  ProcessGroup one_process_;  // made first: the constructors may refer to it

 public:
  // A run in one process.
  Session(Console& c, const RunSettings& s) : Session(c, s, one_process_) {}
  // A run spread over group: only its first process writes files, once every
  // process has done its part.
  Session(Console& c, const RunSettings& s, ProcessGroup& g)
      : console(c), settings(s), group(g),
        files(c, g.size() == 1 ? Writing::kAtOnce : g.is_first() ? Writing::kAtEnd : Writing::kNever),
        allocator(s.memory_budget) {}

  Console& console;
  const RunSettings& settings;
  // The options of the run; none for a run that the dialogue asks all of.
  CommandLine command_line;
  ProcessGroup& group;
  OutputFiles files;
  Allocator allocator;
  std::int32_t seed = 0;  // of this run
  bool clock_seed_untold = false;  // the clock gave the seed, not yet shown
  Random rng;
  std::string data_file_name;     // as settled by the dialogue (a bare name after a one-argument start)
  std::string results_file_name;
  bool replace_results = false;  // emptied by the first section, not appended to
  DataSet data;
  SampleGrid grid;                       // only when the data declare grids
  Permutation identity_permutation;      // the data as observed
  Permutation work_permutation;          // each replicate's; starts as the identity
  // When a table is asked for, the analysis adds its statistics here.
  bool tabulate = false;
  std::vector<StatisticRow> table_rows;
  // The files the analysis wrote beside the results file, in order, for
  // the last line of the run.
  std::vector<WrittenFile> written;
  DistanceRange distance_range;          // worked out at start-up
};

// Before the first randomization of a run seeded by the clock: which seed it
// was and how to repeat the run (a run that randomizes nothing needs none).
inline void tell_clock_seed(Session& session) {
  if (!session.clock_seed_untold) return;
  session.clock_seed_untold = false;
  note_clock_seed(session.console, session.seed);
}

}  // namespace kalveno
