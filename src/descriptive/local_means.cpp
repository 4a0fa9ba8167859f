#include "descriptive/local_means.h"

#include <cmath>

#include "base/text.h"

namespace kalveno {

LocalMeans local_means(const Allocator& allocator, const DataSet& data, float distance_threshold,
                       Progress* progress) {
  const int n = data.n_samples, v_count = data.n_variables;
  const float radius = std::fabs(distance_threshold);
  const bool focal_excluded = distance_threshold < 0;
  LocalMeans local;
  local.means = allocator.double_matrix(1, v_count, 1, n);
  // The local sums build up in the means themselves. Each pair's distance is
  // computed once and serves both samples: visiting pairs (a, b) with a < b
  // in order, sample i receives its neighbours in the order 1..i-1, itself,
  // i+1..N, the order of a plain neighbour-by-neighbour sum.
  RangedMatrix<int> counts = allocator.int_matrix(1, v_count, 1, n);
  auto add = [&](int focal, int neighbour) {
    for (int k = 1; k <= v_count; ++k) {
      if (data.is_qualitative(k)) continue;
      double value = data.values(k, neighbour);
      if (value == MISSING_VALUE) continue;
      ++counts(k, focal);
      local.means(k, focal) += value;
    }
  };
  if (progress != nullptr) progress->begin("Local means", 0.5 * n * (n - 1.0));
  for (int a = 1; a <= n; ++a) {
    if (progress != nullptr) progress->advance(n - a);
    if (!focal_excluded) add(a, a);
    for (int b = a + 1; b <= n; ++b) {
      if (distance_within(sample_distance(data, a, b), radius)) {
        add(a, b);
        add(b, a);
      }
    }
  }
  local.names = allocator.text_vector(1, v_count);
  for (int k = 1; k <= v_count; ++k) {
    local.names[k] = format("%s(d<=%f)", data.var_names[k].c_str(), distance_threshold);
    if (data.is_qualitative(k)) continue;
    for (int i = 1; i <= n; ++i) {
      double& mean = local.means(k, i);
      mean = counts(k, i) == 0 ? MISSING_VALUE : mean / counts(k, i);
    }
  }
  return local;
}

void write_new_variables(OutputFile& out, const DataSet& data, const LocalMeans& local,
                         const std::string& data_file_name, float distance_threshold) {
  const int n = data.n_samples, v_count = data.n_variables;
  // The title ends with its line feed. The counts are those of a data
  // file's second line: samples, no grid, the variables written here (the
  // quantitative ones) and the missing-data word.
  int n_written = 0;
  for (int k = 1; k <= v_count; ++k) n_written += !data.is_qualitative(k);
  out.print("New variables created from file \"%s\" with first line text: %s", data_file_name.c_str(),
            data.title_line.c_str());
  out.print("%i\t0\t%i\t%s\n", n, n_written, data.missing_code.c_str());
  out.print("Average values of each original variable within a circle of radius= %.3g",
            std::fabs(static_cast<double>(distance_threshold)));
  out.print(distance_threshold < 0 ? " (focal site excluded)" : " (focal site included)");
  out.print("\nSample");
  for (int k = 1; k <= v_count; ++k)
    if (!data.is_qualitative(k)) out.print("\t%s", local.names[k].c_str());
  for (int i = 1; i <= n; ++i) {
    out.print("\n%s", data.sample_names[i].c_str());
    for (int k = 1; k <= v_count; ++k) {
      if (data.is_qualitative(k)) continue;
      double mean = local.means(k, i);
      if (mean == MISSING_VALUE)
        out.print("\t%s", data.missing_code.c_str());
      else
        out.print("\t%f", mean);
    }
  }
}

}  // namespace kalveno
