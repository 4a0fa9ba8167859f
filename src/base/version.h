// The program's name and version, as --version, the first line of each run
// and kalveno-plot --version show them. The version is set in one place, the
// project VERSION of CMakeLists.txt, which passes it to the compiler as
// KALVENO_VERSION.
#pragma once
#include <string>

#ifndef KALVENO_VERSION
#error "KALVENO_VERSION is set by CMakeLists.txt from its project VERSION"
#endif

namespace kalveno {

inline constexpr char kProgramName[] = "KALVENO";

// "KALVENO 1.0".
inline std::string program_version() { return std::string(kProgramName) + " " + KALVENO_VERSION; }

}  // namespace kalveno
