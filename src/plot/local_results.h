// Local Moran's I read back for the maps: the sections of a results file,
// each naming its file of values per sample and saying how they were made,
// and that file, which holds each sample's position and values.
#pragma once
#include <string>
#include <string_view>
#include <vector>

namespace kalveno::plot {

// The counts of one variable's row in the section's table.
struct LocalCounts {
  int samples = 0, isolated = 0;
  int quadrants[5] = {};  // high-high, low-low, high-low, low-high, not significant
};

struct LocalRun {
  std::string data_file;  // as the header block of its program run names it
  int n_samples = 0;      // N, from the same header block; 0 when absent
  std::string settings;   // the settings line, which the file of values repeats
  double radius = 0;      // NaN when the settings line cannot be read
  // With great-circle distances, the radius (km) in degrees of latitude, the
  // unit of the map's coordinates; 0 otherwise.
  double radius_degrees = 0;
  int n_rep = 0;          // randomizations of each sample; 0: untested
  std::string values_file;
  std::vector<std::string> variables;  // of the section's table, in order
  std::vector<LocalCounts> counts;     // of each of them
  std::size_t table_line = 0;          // 1-based line of the table's heading; 0 when absent
  // Why the section cannot be trusted, naming the line (a row that is cut
  // or holds no number where the program writes one); empty when it can.
  std::string problem;
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
// that of such a file, returns a message that says where: a sample count
// that line 3 does not declare, a sample named twice, a quadrant that is no
// quadrant word, a cell that is no number as the program writes it.
std::string read_local_values(std::string_view text, LocalValues& values);

// Why the values of a file of values cannot be mapped as those of run,
// naming the file and line: the section is cut short, or the file holds
// other samples or other quadrants than the section counts. Empty when they
// can. (Files of other settings or variables are told apart by the caller.)
std::string local_run_problem(const LocalRun& run, const LocalValues& values);

}  // namespace kalveno::plot
