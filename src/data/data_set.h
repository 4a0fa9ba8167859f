// What a data file holds, as the analyses read it: the samples with their
// coordinates and grid positions, the variables and their values, the
// distance classes, and the one distance between two samples.
#pragma once
#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "base/ranged_array.h"

namespace kalveno {

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

  RangedVector<std::string> var_names;  // [1..V]
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
  // 1..k of a qualitative variable, or MISSING_VALUE.
  RangedMatrix<double> values;             // [0..V][0..N]

  bool is_qualitative(int j) const { return var_kind[j] > 0; }

  // The names of the qualitative variables, in file order, each after a
  // blank; empty when there is none.
  std::string qualitative_names() const {
    std::string names;
    for (int v = 1; v <= n_variables; ++v)
      if (is_qualitative(v)) names += " " + var_names[v];
    return names;
  }
};

// The distance between the samples at a and b, for every distance the program
// works out, so that a pair has the same distance to the bit wherever it is
// used. Either order gives the same bits: x[a] - x[b] is exactly
// -(x[b] - x[a]) in IEEE arithmetic.
inline double sample_distance(const RangedVector<double>& x, const RangedVector<double>& y, int a, int b) {
  const double dx = x[a] - x[b], dy = y[a] - y[b];
  return std::sqrt(dx * dx + dy * dy);
}

}  // namespace kalveno
