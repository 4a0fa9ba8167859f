// A map of local Moran's I drawn as a standalone SVG document: every sample
// at its position on one scale for x and y (on a map of longitudes and
// latitudes, a degree of longitude as long as at the middle latitude),
// coloured by the quadrant of its
// value and its neighbours' mean, filled where it is significant, hollow
// where it is not; a cross for a sample without neighbours, a small grey dot
// for one that lacks the variable. A legend counts each kind, and a scale bar
// shows the radius of the neighbourhoods. Points carry a class attribute
// ("point high-high significant") naming what they show.
#pragma once
#include <string>
#include <vector>

#include "plot/local_results.h"

namespace kalveno::plot {

enum class MapMark { kHighHigh, kLowLow, kHighLow, kLowHigh, kNoNeighbours, kMissing };

struct MapPoint {
  std::string sample;
  double x, y;
  MapMark mark;
  bool significant;
  double moran, p_adjusted;
};

struct LocalMap {
  std::string variable, data_file;
  double radius = 0;
  double radius_degrees = 0;  // the radius in km as degrees of latitude (great-circle), or 0
  int n_rep = 0;  // 0: untested, every point hollow
  std::vector<MapPoint> points;
};

// The map of variable v (0-based) of values, made by run. A sample that is
// not significant is placed in the quadrant of the signs of its I_i and lag:
// I_i = (z_i / m2) k_i lag, so z_i has the sign of I_i where the lag is
// positive and the other sign where it is negative.
LocalMap make_local_map(const LocalRun& run, const LocalValues& values, int v);

// The SVG text of map; distance_units, when not empty, completes the label
// of the scale bar.
std::string local_map_svg(const LocalMap& map, const std::string& distance_units);

}  // namespace kalveno::plot
