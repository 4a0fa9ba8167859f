// The data file and what is read from it. Four header lines (a title; the
// numbers of samples, grids and variables with the missing-data word; the
// distance classes; the column headers) and one tab-separated line per
// sample: name, x, y, [grid name,] [grid X, grid Y,] one cell per variable.
#pragma once
#include <limits>
#include <string>
#include <vector>

#include "base/ranged_array.h"

namespace kalveno {

class Console;

// The only value stored for a missing datum; recognised by equality.
constexpr double MISSING_VALUE = std::numeric_limits<double>::infinity();

struct DistanceClasses {
  int n_classes = 0;
  // Inclusive upper bounds of the classes, in file order, [1..n_classes].
  RangedVector<double> class_max;
};

struct DataSet {
  std::string title_line;  // line 1 as read, ending with its line feed
  int n_samples = 0;       // N
  int n_grids = 0;         // G; 0 means no grid
  int n_variables = 0;     // V
  std::string missing_code;
  DistanceClasses classes;

  // [1..2V]; entries V+1..2V name the local means derived from 1..V.
  RangedVector<std::string> var_names;
  // [1..V]: 0 quantitative; k > 0 qualitative with k states.
  RangedVector<int> var_kind;
  // [1..V], each indexed 1..k (entry 0 unused): the state names in order of
  // first appearance.
  RangedVector<std::vector<std::string>> state_names;

  RangedVector<std::string> sample_names;  // [1..N]
  RangedVector<double> x, y;               // [1..N]
  // Column i: row 0 the grid 1..G of sample i, rows 1 and 2 its grid X and Y.
  RangedMatrix<int> sample_grid;           // [0..2][0..N]
  int max_grid_x = 0, max_grid_y = 0;
  // values(j, i): variable j of sample i; a quantitative value, a state number
  // 1..k of a qualitative variable, or MISSING_VALUE. Rows V+1..2V hold the
  // local means.
  RangedMatrix<double> values;             // [0..2V][0..N]

  bool is_qualitative(int j) const { return var_kind[j] > 0; }
};

// Reads the four header lines, and checks that the N sample lines are there.
// A file that cannot be used is refused (its warning, a wait for Return,
// status 2).
void read_data_header(Console& console, const std::string& data_file_name, DataSet& data);

// Makes the per-sample arrays of data for its N and V.
void allocate_sample_arrays(DataSet& data);

// Reads the sample lines into the arrays made by allocate_sample_arrays,
// decides the kind of every unmarked variable and numbers the states of the
// qualitative ones. A file that cannot be used is refused.
void load_data_file(Console& console, const std::string& data_file_name, DataSet& data);

}  // namespace kalveno
