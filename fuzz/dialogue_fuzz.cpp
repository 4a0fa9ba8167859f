// Fuzzing target: the dialogue alone, on arbitrary answers. The data set is
// one of two small fixed ones (with grids, without), loaded once, so that the
// answers reach every question of the file names, the menu and the three
// analyses; the analyses run on it with at most nine replicates per series.
//
// An input is one byte saying how the run starts, then the answers. Bit 0 of
// that byte chooses the data set; bits 1 and 2 the file names (0 or 3: both
// on the command line, 1: the data file only, 2: both asked); bit 3 leaves
// earlier results in out.txt. Runs happen in a scratch folder of their own,
// emptied before each run.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "app/file_names.h"
#include "app/menu.h"
#include "app/session.h"
#include "app/settings.h"
#include "base/console.h"
#include "base/program_end.h"
#include "data/data_file.h"
#include "scratch_folder.h"

namespace {

using namespace kalveno;

// Two grids, one with an empty cell, and a sample outside its torus; a
// qualitative variable to select pairs by, missing data in every variable.
const char kGridData[] =
    "Dialogue on two grids\n"
    "9\t2\t4\tNA\n"
    "3\t12\t25\t60\n"
    "Sample\tX\tY\tPlot\tGX\tGY\tmoisture\t$habitat\tdepth\tsoil\n"
    "a11\t0\t0\tA\t1\t1\t1.5\twet\t3\tsand\n"
    "a12\t0\t10\tA\t1\t2\t2.0\twet\tNA\tclay\n"
    "a21\t10\t0\tA\t2\t1\t2.5\twet\t5\tsand\n"
    "a22\t10\t10\tA\t2\t2\t3.5\tdry\t4\tloam\n"
    "a31\t20\t0\tA\t3\t1\t4.0\tdry\t8\tclay\n"
    "b11\t50\t0\tB\t1\t1\t8.0\twet\t1\tNA\n"
    "b12\t50\t10\tB\t1\t2\t7.5\tNA\t2\tsand\n"
    "b21\t60\t0\tB\t2\t1\t9.0\tdry\t2\tloam\n"
    "b0\t70\t20\tB\t0\t0\t6.0\tdry\t7\tclay\n";

// No grid; two samples share a position.
const char kPlainData[] =
    "Dialogue without grids\n"
    "7 0 3 -\n"
    "2\t5\t10\n"
    "Sample\tX\tY\tph\t$texture\tcarbon\n"
    "p1\t1.5\t2\t5.89\tfine\t2.02\n"
    "p2\t3\t4\t5.96\tfine\t-\n"
    "p3\t4.5\t6\t5.71\tcoarse\t2.46\n"
    "p4\t6\t8\t5.4\tmedium\t2.26\n"
    "p5\t6\t8\t5.37\tmedium\t2.21\n"
    "p6\t9\t2\t5.69\t-\t2.58\n"
    "p7\t10.5\t4\t6.11\tcoarse\t2.98\n";

struct FixedData {
  const char* text;
  DataSet data;
  SampleGrid grid;
};

FixedData load(const char* text) {
  FixedData fixed{text, {}, {}};
  DataSet& data = fixed.data;
  const DataFile file(text);
  file.read_header(Allocator(), data);
  allocate_sample_arrays(Allocator(), data);
  file.read_samples(Allocator(), data);
  if (data.n_grids != 0)
    fixed.grid = build_sample_grids(Allocator(), data.n_samples, data.n_grids, data.sample_grid, data.max_grid_x,
                                    data.max_grid_y, [](const std::string&) {});
  return fixed;
}

// Loaded once; only read afterwards.
std::vector<FixedData>* fixed_data = nullptr;

// A fixed seed, one worker, 8 MB for the largest block and at most nine
// replicates per series.
RunSettings fuzz_settings() {
  RunSettings settings;
  settings.seed = "1";
  settings.threads = "1";
  settings.memory_budget = 8u << 20;
  settings.randomization_ceiling = 9;
  return settings;
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  kalveno::fuzzing::enter_scratch_folder("kalveno-dialogue-fuzz");
  fixed_data = new std::vector<FixedData>{load(kGridData), load(kPlainData)};
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  if (size == 0) return 0;
  const unsigned start = bytes[0];
  const std::string answers(reinterpret_cast<const char*>(bytes) + 1, size - 1);
  // Every name stays in the scratch folder: no folder separator.
  if (answers.find_first_of("/\\") != std::string::npos) return -1;
  const FixedData& fixed = (*fixed_data)[start % 2];
  std::vector<std::string> args = {"in.txt", "out.txt"};
  if ((start >> 1 & 3) == 1) args.pop_back();
  if ((start >> 1 & 3) == 2) args.clear();

  kalveno::fuzzing::empty_scratch_folder();
  std::ofstream("in.txt", std::ios::binary) << fixed.text;
  if (start & 8) std::ofstream("out.txt", std::ios::binary) << "Earlier results\n";

  std::istringstream in(answers);
  std::ostringstream out;
  Console console(in, out);
  const RunSettings settings = fuzz_settings();
  // The run as start-up leaves it, with the data set loaded beforehand. On
  // so small a data set no answer may make a block of memory beyond the
  // budget: an allocation failure is a finding.
  try {
    Session session(console, settings);
    session.rng.random_state = -run_seed(console, settings, session.clock_seed_untold);
    const FileNames names = read_file_names(console, args);
    session.data_file_name = names.data_file;
    session.results_file_name = names.results_file;
    session.replace_results = names.replace_results;
    session.data = fixed.data;
    session.grid = fixed.grid;
    session.identity_permutation = identity_permutation(session.data.n_samples);
    session.work_permutation = identity_permutation(session.data.n_samples);
    run_analysis_menu(session);
  } catch (const ProgramEnd&) {
  }
  return 0;
}
