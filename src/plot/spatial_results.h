// The spatial autocorrelation sections of a results file, read back for
// drawing. A results file grows by whole program runs, each a header block,
// the basic statistics and at most one analysis; a spatial run is an observed
// section followed by up to two randomization tests (complete, then
// toroidal), each with an optional details table and correction. Each
// section is checked as it is read: a section cut short, a cell that is no
// number as the program prints it, or a section missing that the others say
// the run wrote makes the run one not to be drawn (SpatialRun::problem). The
// analytical tests are read only to see that they are whole; everything
// else in the file is passed over.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kalveno::plot {

// One randomization test of a spatial run. Rows are in the order of the
// observed variables; a value that cannot be read is NaN, a code that cannot
// be read is -1.
struct SpatialTest {
  bool present = false;
  std::size_t line = 0;       // of its heading, 1-based
  std::string randomization;  // "COMPLETE" or "WITHIN GROUP TOROIDAL"
  int n_rep = 0;
  std::vector<std::string> names;         // variable per row of the coded table
  std::vector<std::vector<int>> stars;    // significance code per class: 0..3 stars
  bool detailed = false;
  std::vector<std::string> detail_names;  // variable per group of the details table
  std::vector<std::vector<double>> ci95_inf, ci95_sup;
  // The correction across the classes that follows the test, when there is
  // one: its method as written, and the code of each class's adjusted P.
  bool corrected = false;
  std::string correction;
  std::vector<std::string> corrected_names;
  std::vector<std::vector<int>> corrected_stars;
};

struct SpatialVariable {
  std::string name;
  std::vector<double> moran;  // observed Moran's I per class; NaN where none
};

struct SpatialRun {
  std::string data_file;  // as the header block of its program run names it
  int n_samples = 0;      // N, from the same header block; 0 when absent
  int n_variables = 0;    // the variables of the run, from the same block; 0 when absent
  std::vector<std::string> qualitative;  // the qualitative variables of its basic statistics
  std::string pairs;      // the sample pairs considered, as written
  std::vector<double> class_max;
  std::vector<long long> pair_count;  // empty when the row is absent
  std::vector<double> mean_distance;  // empty when the row is absent
  std::vector<SpatialVariable> variables;
  SpatialTest complete, toroidal;
  bool analytical = false, analytical_corrected = false;  // analytical tests, their corrections
  // Why the run cannot be drawn as its sections stand, naming the line:
  // a section cut short, a cell that is no number as the program writes it,
  // a section missing that the run's other sections say it wrote. Empty
  // when nothing is wrong.
  std::string problem;

  int n_classes() const { return static_cast<int>(class_max.size()); }
};

// Every spatial run of a results file's text, in file order.
std::vector<SpatialRun> read_spatial_runs(std::string_view text);

}  // namespace kalveno::plot
