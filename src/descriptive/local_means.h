// Local means: for each quantitative variable, the mean over the samples
// within a given distance of each sample, and newvar.txt, where they are
// written as new variables in a layout that follows the data file's own
// first lines.
#pragma once
#include <string>

#include "base/allocation.h"
#include "base/files.h"
#include "base/progress.h"
#include "data/data_set.h"

namespace kalveno {

struct LocalMeans {
  // [1..V]: "name(d<=threshold)" for every variable, though only the
  // quantitative ones have means.
  RangedVector<std::string> names;
  // [1..V][1..N]: the mean of quantitative variable k around sample i,
  // MISSING_VALUE where no value counts.
  RangedMatrix<double> means;
};

// The local means within |threshold| of each sample. A negative threshold
// leaves the focal sample out; samples at its very position always count.
// Shows its pace on progress when given.
LocalMeans local_means(const Allocator& allocator, const DataSet& data, float distance_threshold,
                       Progress* progress = nullptr);

// The whole content of newvar.txt, its first lines where a data file has
// its own: a title line, the counts line (the samples, 0 grids, the variables
// written and the missing-data word), a line saying how the means were made,
// the column headers and one line per sample with its local means.
void write_new_variables(OutputFile& out, const DataSet& data, const LocalMeans& local,
                         const std::string& data_file_name, float distance_threshold);

}  // namespace kalveno
