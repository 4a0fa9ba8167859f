#include "data/data_lookups.h"

#include <algorithm>
#include <initializer_list>
#include <string>

#include "data/data_set.h"

namespace kalveno {

namespace {

// Whether header is one of names, in any case.
bool named_as(const std::string& header, std::initializer_list<const char*> names) {
  std::string lower = header;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return std::find(names.begin(), names.end(), lower) != names.end();
}

}  // namespace

int find_qualitative_variable(const DataSet& data, std::string_view name) {
  for (int v = 1; v <= data.n_variables; ++v)
    if (data.is_qualitative(v) && data.var_names[v] == name) return v;
  return 0;
}

int find_state(const DataSet& data, int v, std::string_view name) {
  for (int s = 1; s <= data.var_kind[v]; ++s)
    if (data.state_names[v][static_cast<std::size_t>(s)] == name) return s;
  return 0;
}

bool looks_like_degrees(const DataSet& data) {
  if (!named_as(data.x_name, {"lon", "long", "longitude"}) || !named_as(data.y_name, {"lat", "latitude"})) return false;
  if (data.n_samples < 1) return false;
  double x_low = data.x[1], x_high = data.x[1], y_low = data.y[1], y_high = data.y[1];
  for (int i = 1; i <= data.n_samples; ++i) {
    if (!(data.x[i] >= kLowestLongitude && data.x[i] <= kHighestLongitude)) return false;
    if (!(data.y[i] >= kLowestLatitude && data.y[i] <= kHighestLatitude)) return false;
    x_low = std::min(x_low, data.x[i]), x_high = std::max(x_high, data.x[i]);
    y_low = std::min(y_low, data.y[i]), y_high = std::max(y_high, data.y[i]);
  }
  return x_high - x_low < 360 && y_high - y_low < 180;
}

}  // namespace kalveno
