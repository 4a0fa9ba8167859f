// Questions asked of a data set by name, as the dialogue and the options
// name what they mean: a qualitative variable, one of its states, and
// whether the coordinates look like degrees.
#pragma once
#include <string_view>

namespace kalveno {

struct DataSet;

// The qualitative variable named exactly name, or 0.
int find_qualitative_variable(const DataSet& data, std::string_view name);
// The state of variable v named exactly name (1..k), or 0.
int find_state(const DataSet& data, int v, std::string_view name);

// Whether data, whose distances are planar, look like longitudes (x) and
// latitudes (y) in degrees: every coordinate within the degrees great-circle
// distances take, an extent under 360 by 180, and x and y columns named
// lon, long or longitude and lat or latitude (in any case).
bool looks_like_degrees(const DataSet& data);

}  // namespace kalveno
