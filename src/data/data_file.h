// The data file. Four header lines (a title; the numbers of samples, grids
// and variables with the missing-data word; the distance classes; the column
// headers) and one tab-separated line per sample: name, x, y, [grid name,]
// [grid X, grid Y,] one cell per variable.
#pragma once
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

// The text of a data file, cut into lines once and read in the two steps of
// start-up: the header, then (once the arrays are made) the samples. A file
// that cannot be used throws DataFileRefused.
class DataFile {
 public:
  explicit DataFile(std::string text);
  DataFile(const DataFile&) = delete;
  DataFile& operator=(const DataFile&) = delete;

  // Reads the four header lines, and checks that the N sample lines are there.
  void read_header(const Allocator& allocator, DataSet& data) const;

  // Reads the sample lines into the arrays made by allocate_sample_arrays,
  // decides the kind of every unmarked variable and numbers the states of the
  // qualitative ones.
  void read_samples(DataSet& data) const;

 private:
  std::string text_;
  std::vector<std::string_view> lines_;  // into text_
};

// Makes the per-sample arrays of data for its N and V.
void allocate_sample_arrays(const Allocator& allocator, DataSet& data);

}  // namespace kalveno
