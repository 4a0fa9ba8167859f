#include "base/vector_path.h"

#include <cstring>
#include <initializer_list>

namespace kalveno {

bool vector_path_supported(VectorPath path) {
  switch (path) {
    case VectorPath::kAvx512:
      return __builtin_cpu_supports("avx512f") && __builtin_cpu_supports("avx512vl");
    case VectorPath::kAvx2:
      return __builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma");
    case VectorPath::kSse2:
      return true;
  }
  return false;
}

VectorPath best_vector_path() {
  for (VectorPath path : {VectorPath::kAvx512, VectorPath::kAvx2})
    if (vector_path_supported(path)) return path;
  return VectorPath::kSse2;
}

const char* vector_path_name(VectorPath path) {
  switch (path) {
    case VectorPath::kAvx512: return "avx512";
    case VectorPath::kAvx2: return "avx2";
    case VectorPath::kSse2: return "sse2";
  }
  return "";
}

bool parse_vector_path(const char* text, VectorPath& path) {
  for (VectorPath candidate : {VectorPath::kAvx512, VectorPath::kAvx2, VectorPath::kSse2}) {
    if (std::strcmp(text, vector_path_name(candidate)) == 0) {
      path = candidate;
      return true;
    }
  }
  return false;
}

}  // namespace kalveno
