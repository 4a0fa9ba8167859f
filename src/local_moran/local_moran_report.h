// Where local Moran's I goes: a section of the results file with each
// variable's count of samples in every quadrant, and the file of values per
// sample, tab-separated and laid out like the file of local means so that
// its columns can be pasted beside the data.
#pragma once
#include <string>

#include "base/files.h"
#include "data/data_set.h"
#include "local_moran/local_moran.h"

namespace kalveno {

// The one line that says how the values were made: the radius, the test and
// its seed, the adjustment.
std::string local_moran_settings(const LocalMoranSetup& setup, const LocalMoranResults& results);

// The results-file section: heading, settings, the name of the file of
// values, and per analysed variable the samples that have it, those without
// neighbours, the mean number of neighbours and the count in each quadrant.
void write_local_moran_section(OutputFile& out, const DataSet& data, const LocalMoranSetup& setup,
                               const LocalMoranResults& results, const std::string& values_file);

// The whole file of values: a title line, the settings, the counts line
// (samples, variables, 0, the missing-data word), the column headers, then
// per sample its name, x and y and per variable I_i, lag, P, adjusted P and
// quadrant. What does not apply is the missing-data word.
void write_local_moran_values(OutputFile& out, const DataSet& data, const LocalMoranSetup& setup,
                              const LocalMoranResults& results, const std::string& data_file_name);

}  // namespace kalveno
