// A correlogram drawn as a standalone SVG document: axes with round ticks,
// the zero line, the band of the randomized values, the points joined class
// to class and marked by their significance, a title and a legend. Elements
// carry a class attribute (point, band, trace, zero) naming what they show.
#pragma once
#include <string>

#include "plot/correlogram.h"

namespace kalveno::plot {

// The SVG text of figure; distance_units, when not empty, completes the
// label of the distance axis.
std::string correlogram_svg(const Correlogram& figure, const std::string& distance_units);

}  // namespace kalveno::plot
