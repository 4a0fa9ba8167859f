#include "app/settings.h"

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

#include "base/allocation.h"
#include "base/console.h"
#include "base/parallel.h"
#include "base/text.h"
#include "numeric/random.h"

namespace kalveno {

namespace {

std::optional<std::string> environment_variable(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

// KALVENO_THREADS when it holds a whole number from 1 to kMostWorkers.
std::optional<int> threads_asked(const RunSettings& settings) {
  if (!settings.threads) return std::nullopt;
  const char* wanted = settings.threads->c_str();
  char* end = nullptr;
  long value = std::strtol(wanted, &end, 10);
  if (end != wanted && *end == '\0' && value >= 1 && value <= kMostWorkers) return static_cast<int>(value);
  return std::nullopt;
}

}  // namespace

RunSettings RunSettings::of_this_process() {
  RunSettings settings;
  settings.seed = environment_variable("KALVENO_SEED");
  settings.threads = environment_variable("KALVENO_THREADS");
  settings.vectors = environment_variable("KALVENO_VECTORS");
  settings.memory_budget = available_memory();
  struct stat out, err;
  settings.errors_on_a_terminal = isatty(STDERR_FILENO);
  settings.errors_show_on_the_console = isatty(STDOUT_FILENO) && isatty(STDERR_FILENO) &&
                                        fstat(STDOUT_FILENO, &out) == 0 && fstat(STDERR_FILENO, &err) == 0 &&
                                        out.st_rdev == err.st_rdev;
  return settings;
}

std::int32_t run_seed(Console& console, const RunSettings& settings, bool& from_clock) {
  from_clock = false;
  if (settings.seed) {
    const char* fixed = settings.seed->c_str();
    char* end = nullptr;
    long long value = std::strtoll(fixed, &end, 10);
    if (end != fixed && *end == '\0' && value >= 1 && value <= kLargestSeed) return static_cast<std::int32_t>(value);
    console.warn(format("\nWarning: KALVENO_SEED=\"%s\" is not an integer from 1 to %d; the clock seeds this run.",
                        fixed, kLargestSeed));
  }
  from_clock = true;
  return clock_seed();
}

void note_clock_seed(Console& console, std::int32_t seed) {
  console.print("\nNote: the clock seeded this run with %d; KALVENO_SEED=%d or --seed=%d repeats it.", seed, seed,
                seed);
}

int worker_count(const RunSettings& settings) {
  if (const std::optional<int> asked = threads_asked(settings)) return *asked;
  return std::max(1u, std::thread::hardware_concurrency());
}

int replicate_workers(Console& console, const RunSettings& settings) {
  if (settings.threads && !threads_asked(settings))
    console.warn(format("\nWarning: KALVENO_THREADS=\"%s\" is not a whole number from 1 to %i; every core is used.",
                        settings.threads->c_str(), kMostWorkers));
  return worker_count(settings);
}

VectorPath vector_path(Console& console, const RunSettings& settings) {
  const VectorPath best = best_vector_path();
  if (!settings.vectors) return best;
  const char* wanted = settings.vectors->c_str();
  VectorPath path = best;
  if (!parse_vector_path(wanted, path)) {
    console.warn(format("\nWarning: KALVENO_VECTORS=\"%s\" is not avx512, avx2 or sse2; %s is used.", wanted,
                        vector_path_name(best)));
    return best;
  }
  if (!vector_path_supported(path)) {
    console.warn(format("\nWarning: this processor lacks the %s instructions that KALVENO_VECTORS asks for; %s is "
                        "used.", wanted, vector_path_name(best)));
    return best;
  }
  return path;
}

}  // namespace kalveno
