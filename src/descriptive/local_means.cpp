#include "descriptive/local_means.h"

#include <cmath>

#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "app/session.h"
#include "base/text.h"
#include "base/allocation.h"

namespace kalveno {

void run_local_means(Session& session) {
  Console& console = session.console;
  console.print("\n\n\n\nVARIABLE DUPLICATION\n\nEnter the distance threshold for computing local means per "
                "quantitative variable (use a negative value for local means with the focal site excluded)\n");
  // An answer that does not start with a number is taken like an empty one.
  ScannedFloat threshold = scan_float(console.read_line());
  if (!threshold.found) return;
  // newvar.txt is replaced whole: never when it is the data or the results.
  if (same_file("newvar.txt", session.data_file_name) || same_file("newvar.txt", session.results_file_name)) {
    console.print("\nWARNING: newvar.txt is the data file or the results file of this run; the new variables are "
                  "not written, so as not to erase it.\n");
    end_program(kResultsUnwritable);
  }
  local_means(session.data, threshold.value);
  write_new_variables(console, session.data, session.data_file_name, threshold.value);
  console.print("\nNew variables written in file: newvar.txt");
  console.wait_return();
}

void local_means(DataSet& data, float distance_threshold) {
  const int n = data.n_samples, v_count = data.n_variables;
  const double radius = std::fabs(distance_threshold);
  const bool focal_excluded = distance_threshold < 0;
  // The local sums build up in the rows of the means themselves. Each pair's
  // distance is computed once and serves both samples: visiting pairs (a, b)
  // with a < b in order, sample i receives its neighbours in the order
  // 1..i-1, itself, i+1..N, the order of a plain neighbour-by-neighbour sum.
  RangedMatrix<int> counts = imatrix(1, v_count, 1, n);
  for (int k = 1; k <= v_count; ++k)
    for (int i = 1; i <= n; ++i) data.values(v_count + k, i) = 0;
  auto add = [&](int focal, int neighbour) {
    for (int k = 1; k <= v_count; ++k) {
      if (data.is_qualitative(k)) continue;
      double value = data.values(k, neighbour);
      if (value == MISSING_VALUE) continue;
      ++counts(k, focal);
      data.values(v_count + k, focal) += value;
    }
  };
  for (int a = 1; a <= n; ++a) {
    if (!focal_excluded) add(a, a);
    for (int b = a + 1; b <= n; ++b) {
      double dx = data.x[a] - data.x[b], dy = data.y[a] - data.y[b];
      double d = std::sqrt(dx * dx + dy * dy);
      if (d <= radius) {
        add(a, b);
        add(b, a);
      }
    }
  }
  for (int k = 1; k <= v_count; ++k) {
    data.var_names[v_count + k] = format("%s(d<=%f)", data.var_names[k].c_str(), distance_threshold);
    if (data.is_qualitative(k)) continue;
    for (int i = 1; i <= n; ++i) {
      double& mean = data.values(v_count + k, i);
      mean = counts(k, i) == 0 ? MISSING_VALUE : mean / counts(k, i);
    }
  }
}

void write_new_variables(Console& console, const DataSet& data, const std::string& data_file_name,
                         float distance_threshold) {
  const int n = data.n_samples, v_count = data.n_variables;
  while (true) {
    OutputFile file("newvar.txt", OutputFile::kReplace);
    if (!file.is_open()) {
      console.print("\nWARNING: Cannot open file \"newvar.txt\".\nIf it is being used by another application, close "
                    "it first. Then press RETURN.\n");
      wait_key_or_stop(console, "Stopped: newvar.txt cannot be opened, and without a terminal no key press can say "
                                "when to try again.");
      continue;
    }
    file.print("New variables created from file \"%s\" with first line text: %s", data_file_name.c_str(),
               data.title_line.c_str());
    file.print("Average values of each original variable within a circle of radius= %.3g",
               std::fabs(static_cast<double>(distance_threshold)));
    file.print(distance_threshold < 0 ? " (focal site excluded)" : " (focal site included)");
    file.print("\n%i\t%i\t0\t%s", n, v_count, data.missing_code.c_str());
    file.print("\nSample");
    for (int k = 1; k <= v_count; ++k)
      if (!data.is_qualitative(k)) file.print("\t%s", data.var_names[v_count + k].c_str());
    for (int i = 1; i <= n; ++i) {
      file.print("\n%s", data.sample_names[i].c_str());
      for (int k = 1; k <= v_count; ++k) {
        if (data.is_qualitative(k)) continue;
        double mean = data.values(v_count + k, i);
        if (mean == MISSING_VALUE)
          file.print("\t%s", data.missing_code.c_str());
        else
          file.print("\t%f", mean);
      }
    }
    if (file.close()) return;
    console.print("\nWARNING: newvar.txt could not be written whole (is the disk full?).\n");
    end_program(kResultsUnwritable);
  }
}

}  // namespace kalveno
