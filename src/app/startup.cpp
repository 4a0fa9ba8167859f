#include "app/startup.h"

#include <cstdio>

#include "app/file_names.h"
#include "app/menu.h"
#include "app/results_file.h"
#include "app/session.h"
#include "app/usage.h"
#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "base/results_headings.h"
#include "data/data_file.h"
#include "descriptive/basic_statistics.h"

namespace kalveno {

namespace {

// The text of the data file. While it cannot be read, warns and waits for a
// key before trying again (without a terminal: stops, status 4).
std::string read_data_file(Console& console, const std::string& name) {
  std::string text;
  while (!read_text_file(name, text)) {
    console.print("\nWARNING: Cannot open data file %c%s%c.\nIf it is being used by another application, "
                  "close it first.\nIf it does not exist in the specified directory, bring it first.\n"
                  "Then press RETURN.\nPress Ctrl+c twice to stop the programm now.\n",
                  '"', name.c_str(), '"');
    wait_key_or_stop(console, "Stopped: the data file cannot be opened, and without a terminal no key press "
                              "can say when to try again.");
  }
  return text;
}

void write_results_header(OutputFile& results, const Session& session, double smallest, double largest) {
  const DataSet& data = session.data;
  results.print("\nKALVENO 1.0 - Written by Bremwick\n");
  results.print("\n%s%s\nOutput file: %s\nFirst line of data file: %s", headings::kDataFile,
                session.data_file_name.c_str(), session.results_file_name.c_str(), data.title_line.c_str());
  results.print("\n# samples: %i\n# grids: %i\n# variables: %i\nMissing data represented by: %s\n", data.n_samples,
                data.n_grids, data.n_variables, data.missing_code.c_str());
  results.print("\nMinimal and maximal distance between samples: %f - %f", smallest, largest);
}

void start_up(Session& session, const std::vector<std::string>& args) {
  Console& console = session.console;
  DataSet& data = session.data;
  const Allocator& allocator = session.allocator;
  session.rng.random_state = -run_seed(console, session.settings);

  FileNames names = read_file_names(console, args);
  session.data_file_name = names.data_file;
  session.results_file_name = names.results_file;

  try {
    const DataFile file(read_data_file(console, session.data_file_name));
    file.read_header(allocator, data);
    console.print("\n\n\n\nBASIC INFORMATION\n\n# samples = %i\n# grids=%i\n# variables=%i", data.n_samples,
                  data.n_grids, data.n_variables);
    console.print("\nMissing data represented by %s", data.missing_code.c_str());

    allocate_sample_arrays(allocator, data);
    session.identity_permutation = identity_permutation(data.n_samples);
    session.work_permutation = identity_permutation(data.n_samples);
    file.read_samples(data);
  } catch (const DataFileRefused& refused) {
    refuse_data_file(console, refused.warning);
  }
  if (data.n_grids != 0) {
    bool warned = false;
    session.grid = build_sample_grids(allocator, data.n_samples, data.n_grids, data.sample_grid, data.max_grid_x,
                                      data.max_grid_y, [&](const std::string& warning) {
                                        console.write(warning);
                                        warned = true;
                                      });
    if (warned) console.wait_key("go on");
  }

  double smallest = 0, largest = 0;
  console.print("\nMin & max distances between samples: ");
  distance_range(data, smallest, largest);
  console.print("%.3g - %.3g", smallest, largest);

  append_results(console, session.results_file_name,
                 [&](OutputFile& results) { write_results_header(results, session, smallest, largest); });
  append_results(console, session.results_file_name,
                 [&](OutputFile& results) { write_basic_statistics(results, allocator, data); });
}

// Prints message and appends it to error.txt in the working directory:
// status 1. When that file cannot be written, says so and waits for a key:
// status 3.
int log_allocation_failure(Console& console, const std::string& message) {
  console.print("%s", message.c_str());
  console.flush();
  std::FILE* log = std::fopen("error.txt", "a");
  if (log != nullptr) {
    std::fprintf(log, "%s", message.c_str());
    if (std::fclose(log) == 0) return kAllocationFailure;
  }
  console.print("error in writing %s : cannot open file", message.c_str());
  console.wait_key("end the run");
  return kErrorLogUnwritable;
}

}  // namespace

void distance_range(const DataSet& data, double& smallest, double& largest) {
  const int n = data.n_samples;
  smallest = largest = 0;
  if (n < 2) return;
  smallest = sample_distance(data.x, data.y, 1, 2);
  for (int i = 1; i < n; ++i) {
    for (int k = i + 1; k <= n; ++k) {
      const double d = sample_distance(data.x, data.y, i, k);
      if (d > largest) largest = d;
      if (d < smallest) smallest = d;
    }
  }
}

int run_kalveno(Console& console, const std::vector<std::string>& args, const RunSettings& settings) {
  if (answer_information_request(console, args)) return kFinished;
  int status = kFinished;
  try {
    Session session(console, settings);
    start_up(session, args);
    run_analysis_menu(session);
  } catch (const ProgramEnd& end) {
    status = end.status;
  } catch (const AllocationFailure& failure) {
    status = log_allocation_failure(console, failure.message);
  }
  console.flush();
  return status;
}

}  // namespace kalveno
