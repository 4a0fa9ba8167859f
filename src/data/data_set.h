// What a data file holds, as the analyses read it: the samples with their
// coordinates and grid positions, the variables and their values, the
// distance classes, and the one distance between two samples.
#pragma once
#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>
#include <string>
#include <vector>

#include "base/allocation.h"
#include "base/ranged_array.h"

namespace kalveno {

// The only value stored for a missing datum; recognised by equality.
constexpr double MISSING_VALUE = std::numeric_limits<double>::infinity();

struct DistanceClasses {
  int n_classes = 0;
  // Inclusive upper bounds of the classes, in file order, [1..n_classes].
  RangedVector<double> class_max;
};

// How the distance between two samples is measured.
enum class DistanceKind {
  kPlanar,       // x and y are planar coordinates: the straight-line distance, in their unit
  kGreatCircle,  // x is the longitude, y the latitude, in degrees: the great-circle distance in km
};

// The mean radius of the Earth, in km, of the sphere great-circle distances
// are measured on.
constexpr double kEarthRadiusKm = 6371.0088;
// The length of a degree of latitude on that sphere, in km.
constexpr double kKmPerDegree = kEarthRadiusKm * std::numbers::pi / 180;

// A sample's place on the sphere as the great-circle distance reads it,
// worked out once per sample: the sine and cosine of half its latitude and
// of half its longitude (taken from -180 to 180, so that 350 and -10 give
// the same bits), the cosine of its latitude (0 at either pole, where every
// longitude is the same place), and the longitude as read.
struct SpherePoint {
  double sin_half_latitude = 0, cos_half_latitude = 1;
  double sin_half_longitude = 0, cos_half_longitude = 1;
  double cos_latitude = 1;
  double longitude = 0;
};
SpherePoint sphere_point(double longitude, double latitude);

// Whether two longitudes, in degrees, name one meridian: their difference
// reduced to [-180, 180] is 0 (350 and -10, or 350.1 and -9.9, whose
// difference rounds to 360).
inline bool same_meridian(double longitude_a, double longitude_b) {
  double difference = longitude_a - longitude_b;
  if (difference > 180) difference -= 360;
  if (difference < -180) difference += 360;
  return difference == 0;
}

// Coordinates great-circle distances take, in degrees.
constexpr double kLowestLatitude = -90, kHighestLatitude = 90;
constexpr double kLowestLongitude = -180, kHighestLongitude = 360;

struct DataSet {
  std::string title_line;  // line 1 as read, ending with its line feed
  int n_samples = 0;       // N
  int n_grids = 0;         // G; 0 means no grid
  int n_variables = 0;     // V
  std::string missing_code;
  DistanceClasses classes;

  RangedVector<std::string> var_names;  // [1..V]
  // [1..V]: 0 quantitative; k > 0 qualitative with k states.
  RangedVector<int> var_kind;
  // [1..V], each indexed 1..k (entry 0 unused): the state names in order of
  // first appearance.
  RangedVector<std::vector<std::string>> state_names;

  RangedVector<std::string> sample_names;  // [1..N]
  RangedVector<double> x, y;               // [1..N]
  std::string x_name, y_name;              // the headers of the x and y columns
  DistanceKind distance_kind = DistanceKind::kPlanar;
  RangedVector<SpherePoint> sphere;        // [1..N], great-circle distances only
  // Column i: row 0 the grid 1..G of sample i, rows 1 and 2 its grid X and Y.
  RangedMatrix<int> sample_grid;           // [0..2][0..N]
  int max_grid_x = 0, max_grid_y = 0;
  // values(j, i): variable j of sample i; a quantitative value, a state number
  // 1..k of a qualitative variable, or MISSING_VALUE.
  RangedMatrix<double> values;             // [0..V][0..N]
  // A new field goes into data_digest (app/run_digests.cpp) too, by which
  // the processes of a run compare their data.

  bool is_qualitative(int j) const { return var_kind[j] > 0; }

  // The names of the qualitative variables, in file order, each after a
  // blank; empty when there is none.
  std::string qualitative_names() const {
    std::string names;
    for (int v = 1; v <= n_variables; ++v)
      if (is_qualitative(v)) names += " " + var_names[v];
    return names;
  }
};

// Makes data.sphere from the samples' x (longitude) and y (latitude), for
// great-circle distances.
void make_sphere_points(const Allocator& allocator, DataSet& data);

// The haversine distance on the Earth's sphere: 2 R asin sqrt(h), with
// h = sin^2(dlat / 2) + cos lat_a cos lat_b sin^2(dlon / 2), dlon the
// longitude difference reduced to [-180, 180]. The sine of half a difference
// comes from the samples' own half-angle sines and cosines,
// sin(q - p) = sin q cos p - cos q sin p: no sine per pair, and exact to some
// 2e-16 radians, about a nanometre on the ground; its square is the same
// for dlon and for dlon reduced by a whole turn. Two longitudes of one
// meridian have no longitude term at all, so that one place written two
// ways is at distance 0 exactly. h rounded above 1 (two antipodes) is taken
// as 1.
inline double great_circle_distance(const SpherePoint& a, const SpherePoint& b) {
  const double half_dlat = b.sin_half_latitude * a.cos_half_latitude - b.cos_half_latitude * a.sin_half_latitude;
  const double half_dlon =
      same_meridian(a.longitude, b.longitude)
          ? 0.0
          : b.sin_half_longitude * a.cos_half_longitude - b.cos_half_longitude * a.sin_half_longitude;
  const double h = half_dlat * half_dlat + (a.cos_latitude * b.cos_latitude) * (half_dlon * half_dlon);
  return 2 * kEarthRadiusKm * std::asin(std::sqrt(std::min(h, 1.0)));
}

// The distance between the samples at a and b, for every distance the program
// works out, so that a pair has the same distance to the bit wherever it is
// used. Either order gives the same bits: x[a] - x[b] is exactly
// -(x[b] - x[a]) in IEEE arithmetic, and so are the differences of the
// great-circle distance.
inline double sample_distance(const DataSet& data, int a, int b) {
  if (data.distance_kind == DistanceKind::kGreatCircle) return great_circle_distance(data.sphere[a], data.sphere[b]);
  const double dx = data.x[a] - data.x[b], dy = data.y[a] - data.y[b];
  return std::sqrt(dx * dx + dy * dy);
}

// sample_distance(data, a, b[e]) into out[e] for e < count, the same bits,
// planar distances two at a time.
void sample_distances(const DataSet& data, int a, const int* b, int count, double* out);

// A distance as the bounds read it: class bounds, the regression interval
// and the radii of local means and local Moran's I are single-precision
// numbers as typed, and a distance meets them rounded to single precision.
// So the distances that round to one number share its class whatever their
// last bits: on a grid of spacing 0.1, a spacing worked out as
// 0.09999999999999998 or 0.10000000000000003 is 0.1f, within a bound of 0.1.
// Sums, means and printed distances take the distance itself.
inline float distance_for_bounds(double distance) { return static_cast<float>(distance); }

// Whether a pair at distance lies within an inclusive upper bound.
inline bool distance_within(double distance, float bound) { return distance_for_bounds(distance) <= bound; }

}  // namespace kalveno
