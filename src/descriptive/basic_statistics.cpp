#include "descriptive/basic_statistics.h"

#include <cmath>
#include <vector>

#include "base/results_headings.h"

namespace kalveno {

namespace {

struct Quantitative {
  double mean, sd, min, max, missing_fraction;
};

// The moments in two passes over the samples in order, the mean first and
// then the squared deviations from it: E(x^2) - m^2 would lose every digit
// of the variance of values far from 0 (1e9 + 64 k) and could turn it
// negative.
Quantitative describe_quantitative(const DataSet& data, int j) {
  const int n_samples = data.n_samples;
  int n = 0, missing = 0;
  double sum = 0;
  Quantitative q{};
  for (int i = 1; i <= n_samples; ++i) {
    double x = data.values(j, i);
    if (x == MISSING_VALUE) {
      ++missing;
      continue;
    }
    ++n;
    sum += x;
    if (n == 1 || x < q.min) q.min = x;
    if (n == 1 || x > q.max) q.max = x;
  }
  q.mean = sum / n;
  double squares = 0;
  for (int i = 1; i <= n_samples; ++i) {
    const double x = data.values(j, i);
    if (x != MISSING_VALUE) squares += (x - q.mean) * (x - q.mean);
  }
  q.sd = std::sqrt(squares / (n - 1));
  // With no value at all there are no extremes and no spread: they print as
  // the mean does, not a number.
  if (n == 0) q.min = q.max = q.sd = q.mean;
  q.missing_fraction = static_cast<double>(missing) / n_samples;
  return q;
}

}  // namespace

void write_basic_statistics(OutputFile& results, const Allocator& allocator, const DataSet& data) {
  const int v_count = data.n_variables, n_samples = data.n_samples;

  results.print("\n\nBASIC STATISTICS for QUANTITATIVE variables\n\tMean\tStandard Deviation\tMin value\tMax "
                "value\t%% missing data");
  for (int j = 1; j <= v_count; ++j) {
    if (data.is_qualitative(j)) continue;
    Quantitative q = describe_quantitative(data, j);
    results.print("\n%s\t%f\t%f\t%f\t%f\t%.2g", data.var_names[j].c_str(), q.mean, q.sd, q.min, q.max,
                  100 * q.missing_fraction);
  }

  results.print("\n\n%s\n\t%s\t%% missing data", headings::kQualitativeStatistics, headings::kStateCountColumn);
  for (int j = 1; j <= v_count; ++j) {
    if (!data.is_qualitative(j)) continue;
    const int k = data.var_kind[j];
    RangedVector<double> frequency = allocator.double_vector(0, k);
    int n = 0, missing = 0;
    for (int i = 1; i <= n_samples; ++i) {
      double x = data.values(j, i);
      if (x == MISSING_VALUE) {
        ++missing;
      } else {
        ++n;
        frequency[static_cast<int>(x)] += 1;
      }
    }
    for (int a = 1; a <= k; ++a) frequency[a] /= n;
    results.print("\n%s\t%i\t%.2g\tStates:", data.var_names[j].c_str(), k,
                  100 * (static_cast<double>(missing) / n_samples));
    for (int a = 1; a <= k; ++a) results.print("\t%s", data.state_names[j][static_cast<std::size_t>(a)].c_str());
    results.print("\n\t\t\tFreq:");
    for (int a = 1; a <= k; ++a) results.print("\t%.4g", frequency[a]);
  }
}

}  // namespace kalveno
