// The basic statistics appended to the results file after its header: mean,
// standard deviation, extremes and share of missing data of each
// quantitative variable; states and their frequencies for each qualitative one.
#pragma once
#include <string>

namespace kalveno {

class Console;
struct DataSet;

void write_basic_statistics(Console& console, const std::string& results_file_name, const DataSet& data);

}  // namespace kalveno
