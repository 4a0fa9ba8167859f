// What a run takes from outside its dialogue: the environment variables and
// the memory the machine can give. The program reads them once, when it
// starts; tests and the fuzzing targets make settings of their own.
#pragma once
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "base/vector_path.h"

namespace kalveno {

class Console;

struct RunSettings {
  std::optional<std::string> seed;     // KALVENO_SEED, when set
  std::optional<std::string> threads;  // KALVENO_THREADS, when set
  std::optional<std::string> vectors;  // KALVENO_VECTORS, when set
  // The largest block an allocator will request, in bytes.
  std::size_t memory_budget = SIZE_MAX;
  // Caps every randomization count the dialogue reads; 0 caps nothing. The
  // fuzzing targets run every dialogue with small counts.
  int randomization_ceiling = 0;
  // Standard output and standard error show on the same terminal, where a
  // warning copied to the error stream would only show twice.
  bool errors_show_on_the_console = false;
  // Standard error is a terminal: long steps show their progress there.
  bool errors_on_a_terminal = false;

  // KALVENO_SEED, KALVENO_THREADS and KALVENO_VECTORS of this process, and
  // the memory the machine has available now.
  static RunSettings of_this_process();
};

// The seed of this run: KALVENO_SEED (or --seed, put in its place) when it
// holds an integer from 1 to 2147483646 (another value is ignored with a
// warning on the console), otherwise the seed of the current local time,
// (from_clock set), which note_clock_seed shows with how to repeat the run
// once something is about to be randomized.
std::int32_t run_seed(Console& console, const RunSettings& settings, bool& from_clock);
void note_clock_seed(Console& console, std::int32_t seed);

// The threads that run the replicates and the long passes over the pairs:
// KALVENO_THREADS when it holds a whole number from 1 to 1024 (another value
// is ignored with a warning on the console), else every hardware thread.
// --threads is put in its place.
int replicate_workers(Console& console, const RunSettings& settings);
// The same without the warning, for the passes of start-up; the analysis
// that follows gives it.
int worker_count(const RunSettings& settings);

// The vector instructions of the numerical loops (Moran's I pairs and the
// association replicates): KALVENO_VECTORS when it names avx512, avx2 or sse2
// and this processor has them (otherwise a warning on the console), else the
// best it has. Every choice gives the same results.
VectorPath vector_path(Console& console, const RunSettings& settings);

}  // namespace kalveno
