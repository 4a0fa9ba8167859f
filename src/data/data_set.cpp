#include "data/data_set.h"

#include <emmintrin.h>

#include <numbers>

namespace kalveno {

SpherePoint sphere_point(double longitude, double latitude) {
  // Half an angle in degrees, in radians.
  constexpr double kHalfDegree = std::numbers::pi / 360;
  // 180 to 360 as -180 to 0: a whole turn less, exactly.
  const double turned = longitude >= 180 ? longitude - 360 : longitude;
  const double half_latitude = latitude * kHalfDegree, half_longitude = turned * kHalfDegree;
  SpherePoint point;
  point.sin_half_latitude = std::sin(half_latitude);
  point.cos_half_latitude = std::cos(half_latitude);
  point.sin_half_longitude = std::sin(half_longitude);
  point.cos_half_longitude = std::cos(half_longitude);
  // cos(pi / 2) is some 6e-17, not 0: at a pole the longitude must not count.
  const bool pole = latitude == kLowestLatitude || latitude == kHighestLatitude;
  point.cos_latitude = pole ? 0.0 : std::cos(2 * half_latitude);
  point.longitude = longitude;
  return point;
}

void make_sphere_points(const Allocator& allocator, DataSet& data) {
  data.sphere = allocator.vector_of<SpherePoint>(0, data.n_samples, allocation_message::kDoubleVector);
  for (int i = 1; i <= data.n_samples; ++i) data.sphere[i] = sphere_point(data.x[i], data.y[i]);
}

void sample_distances(const DataSet& data, int a, const int* b, int count, double* out) {
  int e = 0;
  if (data.distance_kind == DistanceKind::kPlanar) {
    // The arithmetic of sample_distance on two pairs at once: the same IEEE
    // operations, square root included, and so the same bits.
    const double* x = &data.x[0];
    const double* y = &data.y[0];
    const __m128d xa = _mm_set1_pd(x[a]), ya = _mm_set1_pd(y[a]);
    for (; e + 2 <= count; e += 2) {
      const __m128d dx = _mm_sub_pd(xa, _mm_set_pd(x[b[e + 1]], x[b[e]]));
      const __m128d dy = _mm_sub_pd(ya, _mm_set_pd(y[b[e + 1]], y[b[e]]));
      _mm_storeu_pd(out + e, _mm_sqrt_pd(_mm_add_pd(_mm_mul_pd(dx, dx), _mm_mul_pd(dy, dy))));
    }
  }
  for (; e < count; ++e) out[e] = sample_distance(data, a, b[e]);
}

}  // namespace kalveno
