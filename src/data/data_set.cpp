#include "data/data_set.h"

#include <numbers>

namespace kalveno {

SpherePoint sphere_point(double longitude, double latitude) {
  // Half an angle in degrees, in radians.
  constexpr double kHalfDegree = std::numbers::pi / 360;
  const double half_latitude = latitude * kHalfDegree, half_longitude = longitude * kHalfDegree;
  SpherePoint point;
  point.sin_half_latitude = std::sin(half_latitude);
  point.cos_half_latitude = std::cos(half_latitude);
  point.sin_half_longitude = std::sin(half_longitude);
  point.cos_half_longitude = std::cos(half_longitude);
  point.cos_latitude = std::cos(2 * half_latitude);
  return point;
}

void make_sphere_points(const Allocator& allocator, DataSet& data) {
  data.sphere = allocator.vector_of<SpherePoint>(0, data.n_samples, "\nallocation failure in dvector()");
  for (int i = 1; i <= data.n_samples; ++i) data.sphere[i] = sphere_point(data.x[i], data.y[i]);
}

}  // namespace kalveno
