// The data file. Four header lines (a title; the numbers of samples, grids
// and variables with the missing-data word; the distance classes; the column
// headers) and one tab-separated line per sample: name, x, y, [grid name,]
// [grid X, grid Y,] one cell per variable.
#pragma once
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/allocation.h"
#include "data/data_set.h"

namespace kalveno {

// A data file the program cannot use; warning says why.
struct DataFileRefused {
  std::string warning;
};

// Hands on a console warning about something read that the run goes on with:
// the file is read one safe way, which the warning says.
using DataFileWarning = std::function<void(const std::string& warning)>;

// The text of a data file, cut into lines once and read in the two steps of
// start-up: the header, then (once the arrays are made) the samples. A file
// that cannot be used throws DataFileRefused. A cell is read whole, without
// the blanks around it: sample names, grid names and states may hold blanks
// ("North Reading"). Coordinates (in double precision) and grid positions
// fill their cells; variable cells are read by their leading number (in
// single precision), with a warning per variable where text follows it.
class DataFile {
 public:
  explicit DataFile(std::string text);
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Reads the four header lines, and checks that the N sample lines are
  // there. Warns about class bounds out of increasing order (unless
  // check_class_order is false: the run chooses its classes otherwise),
  // variable names beyond the count of line 2, names of several words (the
  // first is read), names given twice, and sample lines beyond the count
  // (blank ones aside).
  void read_header(const Allocator& allocator, DataSet& data, const DataFileWarning& warn = {},
                   bool check_class_order = true) const;

  // Reads the sample lines into the arrays made by allocate_sample_arrays,
  // decides the kind of every unmarked variable and numbers the states of the
  // qualitative ones. Warns about each unmarked quantitative variable that
  // has a cell with text after its number, each unmarked variable that a few
  // words among its numbers make qualitative, sample lines with cells beyond
  // the column headers, and grid positions of 0. Messages about a cell name
  // its sample (number, name and line) and its variable (number and name).
  // With great-circle distances (data.distance_kind set first), refuses a
  // longitude or latitude out of range and makes data.sphere.
  void read_samples(const Allocator& allocator, DataSet& data, const DataFileWarning& warn = {}) const;

 private:
  std::string text_;
  std::vector<std::string_view> lines_;  // into text_
};

// Makes the per-sample arrays of data for its N and V.
void allocate_sample_arrays(const Allocator& allocator, DataSet& data);

}  // namespace kalveno
