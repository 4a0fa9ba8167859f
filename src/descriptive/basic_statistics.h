// The basic statistics appended to the results file after its header: mean,
// standard deviation, extremes and share of missing data of each
// quantitative variable; states and their frequencies for each qualitative one.
#pragma once
#include "base/allocation.h"
#include "base/files.h"
#include "data/data_set.h"

namespace kalveno {

void write_basic_statistics(OutputFile& results, const Allocator& allocator, const DataSet& data);

}  // namespace kalveno
