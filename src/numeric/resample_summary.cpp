#include "numeric/resample_summary.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>

namespace kalveno {

void shell_sort(int n, RangedVector<float>& a) {
  int h = 1;
  while (h <= n) h = 3 * h + 1;
  do {
    h /= 3;
    for (int i = h + 1; i <= n; ++i) {
      float x = a[i];
      int j = i;
      while (a[j - h] > x) {
        a[j] = a[j - h];
        j -= h;
        if (j <= h) break;
      }
      a[j] = x;
    }
  } while (h > 1);
}

void compute_resample_stat(RangedVector<float>& values, int first, int last, ResampleSummary& record,
                           float observed) {
  assert(first == 1);
  const int n = last - first + 1;
  RangedVector<float>& v = values;
  record.obs = observed;
  record.n_rep = n;

  double sum = 0;
  for (int i = 1; i <= n; ++i) sum += v[i];
  double mean = sum / n;
  record.mean = static_cast<float>(mean);
  double squares = 0;
  for (int i = 1; i <= n; ++i) squares += (v[i] - mean) * (v[i] - mean);
  record.sd = static_cast<float>(std::sqrt(squares / (n - 1)));

  shell_sort(n, values);

  int different = 1;
  for (int i = 2; i <= n; ++i)
    if (v[i] != v[i - 1]) ++different;
  record.n_different = different;

  // Ranks are n times a single-precision constant, formed in double and truncated.
  auto rank = [n](int offset, float fraction) {
    return std::min(n, offset + static_cast<int>(n * static_cast<double>(fraction)));
  };
  if (n >= 40) {
    record.ci95_inf = v[rank(1, 0.025f)];
    record.ci95_sup = v[rank(2, 0.975f)];
  } else {
    record.ci95_inf = record.ci95_sup = 0;
  }
  if (n >= 200) {
    record.ci99_inf = v[rank(1, 0.005f)];
    record.ci99_sup = v[rank(2, 0.995f)];
  } else {
    record.ci99_inf = record.ci99_sup = 0;
  }

  // (replicates <= o, plus 1) / (n + 1) and (replicates >= o, plus 1) /
  // (n + 1): the observed arrangement is one of those the test draws from,
  // so neither P value is ever 0, even when every replicate lies on one side.
  int above = 1;  // the first rank above the observed value
  while (above <= n && !(v[above] > observed)) ++above;
  record.p_less = static_cast<float>(static_cast<double>(above) / (n + 1));
  int below = n;  // the last rank below it
  while (below >= 1 && !(v[below] < observed)) --below;
  record.p_greater = static_cast<float>(static_cast<double>(n - below + 1) / (n + 1));

  // Twice the smaller one-sided P, at most 1. Doubling a float is exact, so
  // the two-sided P of 25/1000 is the very float of 50/1000.
  record.p_two_sided = std::min(1.0f, 2 * std::min(record.p_less, record.p_greater));
}

int significance_level(float p, int n_rep) {
  const int level = p <= 0.001f ? 3 : p <= 0.01f ? 2 : p <= 0.05f ? 1 : 0;
  const int reachable = n_rep >= 4999 ? 3 : n_rep >= 499 ? 2 : n_rep >= 99 ? 1 : 0;
  return std::min(level, reachable);
}

namespace {

const char* code_of_level(int level) {
  switch (level) {
    case 3: return " ***";
    case 2: return " **";
    case 1: return " *";
    default: return "";
  }
}

}  // namespace

const char* significance_code(float p, int n_rep) { return code_of_level(significance_level(p, n_rep)); }

const char* significance_code(float p) { return code_of_level(significance_level(p, INT_MAX)); }

}  // namespace kalveno
