#include "numeric/p_adjustment.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numeric>

namespace kalveno {

namespace {

const float kNotANumber = std::numeric_limits<float>::quiet_NaN();

// The positions of the P values that are numbers, in ascending order of P
// (ties in their given order).
std::vector<std::size_t> ascending_family(const std::vector<float>& p) {
  std::vector<std::size_t> order;
  for (std::size_t i = 0; i < p.size(); ++i)
    if (!std::isnan(p[i])) order.push_back(i);
  std::stable_sort(order.begin(), order.end(), [&](std::size_t a, std::size_t b) { return p[a] < p[b]; });
  return order;
}

}  // namespace

std::vector<float> holm_adjusted(const std::vector<float>& p) {
  std::vector<float> adjusted(p.size(), kNotANumber);
  const std::vector<std::size_t> order = ascending_family(p);
  const double k = static_cast<double>(order.size());
  double largest = 0;
  for (std::size_t j = 0; j < order.size(); ++j) {
    largest = std::max(largest, std::min(1.0, (k - static_cast<double>(j)) * p[order[j]]));
    adjusted[order[j]] = static_cast<float>(largest);
  }
  return adjusted;
}

std::vector<float> benjamini_hochberg_adjusted(const std::vector<float>& p) {
  std::vector<float> adjusted(p.size(), kNotANumber);
  const std::vector<std::size_t> order = ascending_family(p);
  const double k = static_cast<double>(order.size());
  double smallest = 1;
  for (std::size_t j = order.size(); j-- > 0;) {
    smallest = std::min(smallest, k / static_cast<double>(j + 1) * p[order[j]]);
    adjusted[order[j]] = static_cast<float>(smallest);
  }
  return adjusted;
}

float bonferroni_family(const std::vector<float>& p) {
  const std::vector<std::size_t> order = ascending_family(p);
  if (order.empty()) return kNotANumber;
  return static_cast<float>(std::min(1.0, static_cast<double>(order.size()) * p[order.front()]));
}

std::vector<float> progressive_adjusted(const std::vector<float>& p) {
  std::vector<float> adjusted(p.size(), kNotANumber);
  for (std::size_t c = 0; c < p.size(); ++c)
    if (!std::isnan(p[c])) adjusted[c] = static_cast<float>(std::min(1.0, static_cast<double>(c + 1) * p[c]));
  return adjusted;
}

}  // namespace kalveno
