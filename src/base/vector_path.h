// The vector instructions the numerical loops may use. One binary holds a
// loop for each and takes, at run time, the widest the processor has; every
// one performs the same IEEE operations in the same order, so the choice
// changes the speed and never a result.
#pragma once

namespace kalveno {

// Plain SSE2 is on every 64-bit x86 processor; the others are taken only
// where the processor has them (AVX2 with FMA, AVX-512 F with VL).
enum class VectorPath { kSse2, kAvx2, kAvx512 };

bool vector_path_supported(VectorPath path);
// The widest path this processor supports.
VectorPath best_vector_path();
// "avx512", "avx2" or "sse2".
const char* vector_path_name(VectorPath path);
// The path named by text (a name as above); false for any other text.
bool parse_vector_path(const char* text, VectorPath& path);

}  // namespace kalveno
