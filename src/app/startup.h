// One run of the program, from the banner to the end of the chosen analysis.
#pragma once
#include <string>
#include <vector>

namespace kalveno {

class Console;
struct DataSet;

// Runs the program with the command-line arguments after its name and
// returns the exit status.
int run_kalveno(Console& console, const std::vector<std::string>& args);

// Smallest and largest distance between two samples; both 0 with fewer than
// two samples.
void distance_range(const DataSet& data, double& smallest, double& largest);

// Appends the header block of a run to the results file.
void write_results_header(Console& console, const std::string& data_file_name, const std::string& results_file_name,
                          const DataSet& data, double smallest, double largest);

}  // namespace kalveno
