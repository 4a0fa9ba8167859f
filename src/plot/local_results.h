// Local Moran's I read back for the maps: the sections of a results file,
// each naming its file of values per sample and saying how they were made,
// and that file, which holds each sample's position and values.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kalveno::plot {

struct LocalRun {
  std::string data_file;  // as the header block of its program run names it
  std::string settings;   // the settings line, which the file of values repeats
  double radius = 0;      // NaN when the settings line cannot be read
  int n_rep = 0;          // randomizations of each sample; 0: untested
  std::string values_file;
  std::vector<std::string> variables;  // of the section's table, in order
};

// Every local Moran's I section of a results file's text, in file order.
std::vector<LocalRun> read_local_runs(std::string_view text);

// One sample's values for one variable, as the file writes them; a value
// that does not apply (the missing-data word) is NaN.
struct LocalValue {
  double moran, lag, p, p_adjusted;
  std::string quadrant;  // empty where the sample lacks the variable
};

struct LocalValues {
  std::string settings;
  std::vector<std::string> samples;  // names
  std::vector<double> x, y;
  std::vector<std::string> variables;
  std::vector<std::vector<LocalValue>> values;  // [variable][sample]
};

// Reads the text of a file of values into values; when its layout is not
// that of such a file, returns a message that says where.
std::string read_local_values(std::string_view text, LocalValues& values);

}  // namespace kalveno::plot
