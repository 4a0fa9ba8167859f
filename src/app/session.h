// Everything one run of the program holds, from start-up to its end: the
// console, the settings, the processes it is spread over, the files it
// writes, the allocator, the generator, the file names, the data and what is
// built from it.
#pragma once
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

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
  ProcessGroup& group;
  OutputFiles files;
  Allocator allocator;
  std::int32_t seed = 0;  // of this run
  Random rng;
  std::string data_file_name;     // as settled by the dialogue (a bare name after a one-argument start)
  std::string results_file_name;
  DataSet data;
  SampleGrid grid;                       // only when the data declare grids
  Permutation identity_permutation;      // the data as observed
  Permutation work_permutation;          // each replicate's; starts as the identity
  // When a table is asked for, the analysis adds its statistics here.
  bool tabulate = false;
  std::vector<StatisticRow> table_rows;
  // Where the local means go: newvar.txt in the working folder, unless
  // --new-variables names another file.
  std::string new_variables_file = "newvar.txt";
  bool new_variables_written = false;
  std::string local_moran_file;  // once written, the file of local Moran's I per sample
  DistanceRange distance_range;          // worked out at start-up
  // Classes chosen by --classes, made when the spatial analysis starts.
  std::optional<ClassRule> class_rule;
  std::string class_rule_option;
};

}  // namespace kalveno
