#include "plot/axes.h"

#include <cmath>

#include "base/text.h"

namespace kalveno::plot {

Axis round_axis(double lo, double hi) {
  if (!(hi > lo)) {
    double room = lo == 0 ? 1 : std::fabs(lo) / 2;
    lo -= room;
    hi += room;
  }
  const double raw = (hi / 2 - lo / 2) / 3;  // halves cannot overflow
  const double magnitude = std::pow(10.0, std::floor(std::log10(raw)));
  const double scaled = raw / magnitude;
  const double step = (scaled < 1.5 ? 1 : scaled < 3 ? 2 : scaled < 7 ? 5 : 10) * magnitude;
  Axis axis{std::floor(lo / step) * step, std::ceil(hi / step) * step, step};
  if (!std::isfinite(axis.lo) || !std::isfinite(axis.hi) || !std::isfinite(step) || step <= 0 ||
      !(axis.hi > axis.lo))
    return {lo, hi, 0};
  return axis;
}

double place(const Axis& axis, double value, double a, double b) {
  const double half_span = axis.hi / 2 - axis.lo / 2;
  double fraction = half_span > 0 ? (value / 2 - axis.lo / 2) / half_span : 0.5;
  if (!std::isfinite(fraction)) fraction = 0.5;
  return a + (b - a) * fraction;
}

std::string tick_label(double value, double step) {
  if (std::fabs(value) < step * 1e-9) value = 0;
  return format("%.6g", value);
}

}  // namespace kalveno::plot
