// The one distance between two samples, on the Earth's sphere.
#include <gtest/gtest.h>

#include <cstring>

#include "data/data_set.h"

namespace kalveno {
namespace {

struct KnownDistance {
  double lon_a, lat_a, lon_b, lat_b;
  double km;  // the haversine of an independent tool on the same sphere
};

TEST(GreatCircleDistance, AgreesWithAnIndependentHaversineAndKeepsItsBitsInEitherOrder) {
  const KnownDistance known[] = {
      {0, 0, 0, 1, 111.195080233533},            // a degree of latitude
      {10, 45, -170, -45, 20015.114442035923},   // antipodes
      {179.5, 0, -179.5, 0, 111.195080233533},   // across the date line
      {5.7, 50.9, 5.75, 50.95, 6.572101348718},  // a few km
      {350, 10, -10, 10, 0},                     // one place, two conventions
      {0, 90, 120, 89.5, 55.597540116766},       // near the pole
      {0, 0, 5.7, 50.9, 5685.388163391985},
  };
  for (const KnownDistance& k : known) {
    const SpherePoint a = sphere_point(k.lon_a, k.lat_a), b = sphere_point(k.lon_b, k.lat_b);
    const double there = great_circle_distance(a, b), back = great_circle_distance(b, a);
    EXPECT_NEAR(there, k.km, 1e-9 * std::max(1.0, k.km)) << k.lon_a << " " << k.lat_a;
    EXPECT_EQ(std::memcmp(&there, &back, sizeof there), 0);
  }
}

// One place written two ways: longitudes a whole turn apart (their
// difference rounded to 360 included) or any longitude at a pole.
TEST(GreatCircleDistance, IsZeroBetweenTwoWaysOfWritingOnePlace) {
  const KnownDistance same[] = {
      {350, 10, -10, 10, 0},   {350.1, 20, -9.9, 20, 0}, {180, 0, -180, 0, 0},
      {0, 90, 120, 90, 0},     {-45, -90, 170, -90, 0},  {360, -33.5, 0, -33.5, 0},
  };
  for (const KnownDistance& k : same)
    EXPECT_EQ(great_circle_distance(sphere_point(k.lon_a, k.lat_a), sphere_point(k.lon_b, k.lat_b)), 0.0)
        << k.lon_a << " " << k.lat_a << " " << k.lon_b;
  // From a pole, the pole's longitude makes no difference to the bit.
  const SpherePoint elsewhere = sphere_point(120, 89.5);
  auto from = [&](double lon, double lat) { return great_circle_distance(sphere_point(lon, lat), elsewhere); };
  EXPECT_EQ(from(0, 90), from(77, 90));
  EXPECT_EQ(from(350, 5), from(-10, 5));
}

}  // namespace
}  // namespace kalveno
