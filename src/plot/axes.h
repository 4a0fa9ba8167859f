// Axes with round ticks for the figures: the range of an axis, where a value
// falls on it, and its tick labels.
#pragma once
#include <string>

namespace kalveno::plot {

// An axis over [lo, hi] with ticks every step; step 0 means no ticks (a range
// too wide or too narrow for round numbers).
struct Axis {
  double lo, hi, step;
};

// Widens [lo, hi] to multiples of a round step (1, 2 or 5 times a power of
// ten) giving about six intervals. A single value gets room around it.
Axis round_axis(double lo, double hi);

// Position of value on an axis drawn from pixel a (at lo) to pixel b (at hi).
// A range too narrow to divide (a few subnormal numbers) puts everything in
// the middle.
double place(const Axis& axis, double value, double a, double b);

// A tick value printed short: 0.30000000000000004 is 0.3, -0 is 0.
std::string tick_label(double value, double step);

}  // namespace kalveno::plot
