#include "numeric/resample_summary.h"

#include <algorithm>
#include <cassert>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>

#include "base/results_headings.h"

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

namespace {

// Mean and standard deviation of values[1..n], in this order of summing.
void set_moments(const RangedVector<float>& v, int n, ResampleSummary& record) {
  double sum = 0;
  for (int i = 1; i <= n; ++i) sum += v[i];
  double mean = sum / n;
  record.mean = static_cast<float>(mean);
  double squares = 0;
  for (int i = 1; i <= n; ++i) squares += (v[i] - mean) * (v[i] - mean);
  record.sd = static_cast<float>(std::sqrt(squares / (n - 1)));
}

// Ranks are n times a single-precision constant, formed in double and truncated.
int rank(int n, int offset, float fraction) {
  return std::min(n, offset + static_cast<int>(n * static_cast<double>(fraction)));
}

// From the replicates not above and not below the observed value:
// (replicates <= o, plus 1) / (n + 1) and (replicates >= o, plus 1) /
// (n + 1). The observed arrangement is one of those the test draws from, so
// neither P value is ever 0, even when every replicate lies on one side.
void set_p_values(ResampleSummary& record, int not_above, int not_below) {
  const int n = record.n_rep;
  record.p_less = static_cast<float>(static_cast<double>(not_above + 1) / (n + 1));
  record.p_greater = static_cast<float>(static_cast<double>(not_below + 1) / (n + 1));
  // Twice the smaller one-sided P, at most 1. Doubling a float is exact, so
  // the two-sided P of 25/1000 is the very float of 50/1000.
  record.p_two_sided = std::min(1.0f, 2 * std::min(record.p_less, record.p_greater));
}

}  // namespace

void compute_resample_stat(RangedVector<float>& values, int first, int last, ResampleSummary& record,
                           float observed) {
  assert(first == 1);
  const int n = last - first + 1;
  RangedVector<float>& v = values;
  record.obs = observed;
  record.n_rep = n;
  if (n == 0) {
    const float none = std::numeric_limits<float>::quiet_NaN();
    record.mean = record.sd = record.ci95_inf = record.ci95_sup = record.ci99_inf = record.ci99_sup = none;
    record.p_less = record.p_greater = record.p_two_sided = none;
    record.n_different = 0;
    return;
  }
  set_moments(v, n, record);

  shell_sort(n, values);

  int different = 1;
  for (int i = 2; i <= n; ++i)
    if (v[i] != v[i - 1]) ++different;
  record.n_different = different;

  if (n >= 40) {
    record.ci95_inf = v[rank(n, 1, 0.025f)];
    record.ci95_sup = v[rank(n, 2, 0.975f)];
  } else {
    record.ci95_inf = record.ci95_sup = 0;
  }
  if (n >= 200) {
    record.ci99_inf = v[rank(n, 1, 0.005f)];
    record.ci99_sup = v[rank(n, 2, 0.995f)];
  } else {
    record.ci99_inf = record.ci99_sup = 0;
  }

  int above = 1;  // the first rank above the observed value
  while (above <= n && !(v[above] > observed)) ++above;
  int below = n;  // the last rank below it
  while (below >= 1 && !(v[below] < observed)) --below;
  set_p_values(record, above - 1, n - below);
}

void summarise_without_sorting(RangedVector<float>& values, int n, ResampleSummary& record, float observed) {
  RangedVector<float>& v = values;
  record.obs = observed;
  record.n_rep = n;
  record.n_different = 0;
  set_moments(v, n, record);
  int not_above = 0, not_below = 0;
  for (int i = 1; i <= n; ++i) {
    not_above += !(v[i] > observed);
    not_below += !(v[i] < observed);
  }
  set_p_values(record, not_above, not_below);
  record.ci95_inf = record.ci95_sup = record.ci99_inf = record.ci99_sup = 0;
  if (n < 40) return;
  // The bounds lie among the few smallest and the few largest values: a
  // first pass keeps the smallest in a heap at the front, a second the
  // largest of the others in a heap at the back, each heap sorted once its
  // pass is over; a value of rank r (1-based) is then at a[r - 1].
  float* const a = v.data() + (1 - v.lo());
  const int low = rank(n, 1, 0.025f), high = rank(n, 2, 0.975f);
  const int top = n - high + 1;  // the values from rank high up
  assert(low + top <= n);  // about 5 % of n between them
  std::make_heap(a, a + low);
  for (float* x = a + low; x < a + n; ++x) {
    if (!(*x < a[0])) continue;
    std::pop_heap(a, a + low);
    std::swap(a[low - 1], *x);
    std::push_heap(a, a + low);
  }
  std::sort(a, a + low);
  float* const back = a + n - top;
  std::make_heap(back, a + n, std::greater<float>());
  for (float* x = a + low; x < back; ++x) {
    if (!(*x > back[0])) continue;
    std::pop_heap(back, a + n, std::greater<float>());
    std::swap(a[n - 1], *x);
    std::push_heap(back, a + n, std::greater<float>());
  }
  std::sort(back, a + n);
  record.ci95_inf = a[low - 1];
  record.ci95_sup = a[high - 1];
  if (n >= 200) {
    record.ci99_inf = a[rank(n, 1, 0.005f) - 1];
    record.ci99_sup = a[rank(n, 2, 0.995f) - 1];
  }
}

int significance_level(float p, int n_rep) {
  const int level = p <= 0.001f ? 3 : p <= 0.01f ? 2 : p <= 0.05f ? 1 : 0;
  const int reachable = n_rep >= 4999 ? 3 : n_rep >= 499 ? 2 : n_rep >= 99 ? 1 : 0;
  return std::min(level, reachable);
}

namespace {

const char* code_of_level(int level) { return headings::kSignificanceCodes[std::clamp(level, 0, 3)]; }

}  // namespace

const char* significance_code(float p, int n_rep) { return code_of_level(significance_level(p, n_rep)); }

const char* significance_code(float p) { return code_of_level(significance_level(p, INT_MAX)); }

}  // namespace kalveno
