// Menu choice 3: for each quantitative variable, the mean over the samples
// within a given distance of each sample, written as new variables to
// newvar.txt in a layout that follows the data file's own first lines.
#pragma once
#include <string>

namespace kalveno {

class Console;
struct DataSet;
struct Session;

// The dialogue: one threshold, then the computation and newvar.txt.
void run_local_means(Session& session);

// Fills rows V+1..2V of data.values (quantitative variables only) with the
// local means within |threshold| of each sample, MISSING_VALUE where no value
// counts, and names them in var_names[V+1..2V]. A negative threshold leaves
// the focal sample out; samples at its very position always count.
void local_means(DataSet& data, float distance_threshold);

// Writes newvar.txt, replacing what it held.
void write_new_variables(Console& console, const DataSet& data, const std::string& data_file_name,
                         float distance_threshold);

}  // namespace kalveno
