#include "app/startup.h"

#include <cmath>

#include "descriptive/basic_statistics.h"
#include "base/console.h"
#include "app/file_names.h"
#include "app/menu.h"
#include "base/program_end.h"
#include "app/results_file.h"
#include "app/session.h"
#include "app/usage.h"

namespace kalveno {

namespace {

void start_up(Session& session, const std::vector<std::string>& args) {
  Console& console = session.console;
  DataSet& data = session.data;
  session.rng.random_state = -clock_seed(console);

  FileNames names = read_file_names(console, args);
  session.data_file_name = names.data_file;
  session.results_file_name = names.results_file;

  read_data_header(console, session.data_file_name, data);
  console.print("\n\n\n\nBASIC INFORMATION\n\n# samples = %i\n# grids=%i\n# variables=%i", data.n_samples,
                data.n_grids, data.n_variables);
  console.print("\nMissing data represented by %s", data.missing_code.c_str());

  allocate_sample_arrays(data);
  session.identity_permutation = identity_permutation(data.n_samples);
  session.work_permutation = identity_permutation(data.n_samples);
  load_data_file(console, session.data_file_name, data);
  if (data.n_grids != 0)
    session.grid = build_sample_grids(console, data.n_samples, data.n_grids, data.sample_grid, data.max_grid_x,
                                      data.max_grid_y);

  double smallest = 0, largest = 0;
  console.print("\nMin & max distances between samples: ");
  distance_range(data, smallest, largest);
  console.print("%.3g - %.3g", smallest, largest);

  write_results_header(console, session.data_file_name, session.results_file_name, data, smallest, largest);
  write_basic_statistics(console, session.results_file_name, data);
}

}  // namespace

void distance_range(const DataSet& data, double& smallest, double& largest) {
  const int n = data.n_samples;
  smallest = largest = 0;
  if (n < 2) return;
  auto squared_distance = [&](int i, int k) {
    double dx = data.x[i] - data.x[k], dy = data.y[i] - data.y[k];
    return dx * dx + dy * dy;
  };
  double smallest2 = squared_distance(1, 2), largest2 = 0;
  for (int i = 1; i < n; ++i) {
    for (int k = i + 1; k <= n; ++k) {
      double d2 = squared_distance(i, k);
      if (d2 > largest2) largest2 = d2;
      if (d2 < smallest2) smallest2 = d2;
    }
  }
  smallest = std::sqrt(smallest2);
  largest = std::sqrt(largest2);
}

void write_results_header(Console& console, const std::string& data_file_name, const std::string& results_file_name,
                          const DataSet& data, double smallest, double largest) {
  OutputFile results = open_results_for_append(console, results_file_name);
  results.print("\nKALVENO 1.0 - Written by Bremwick\n");
  results.print("\nData file: %s\nOutput file: %s\nFirst line of data file: %s", data_file_name.c_str(),
                results_file_name.c_str(), data.title_line.c_str());
  results.print("\n# samples: %i\n# grids: %i\n# variables: %i\nMissing data represented by: %s\n", data.n_samples,
                data.n_grids, data.n_variables, data.missing_code.c_str());
  results.print("\nMinimal and maximal distance between samples: %f - %f", smallest, largest);
  close_results(console, results, results_file_name);
}

int run_kalveno(Console& console, const std::vector<std::string>& args) {
  if (answer_information_request(console, args)) return kFinished;
  Console::Scope scope(console);
  try {
    Session session(console);
    start_up(session, args);
    run_analysis_menu(session);
  } catch (const ProgramEnd& end) {
    console.flush();
    return end.status;
  }
  console.flush();
  return kFinished;
}

}  // namespace kalveno
