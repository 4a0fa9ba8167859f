#include "base/allocation.h"

#include <cstdio>
#include <unistd.h>

namespace kalveno {

AllocationFailure operator_new_failure() {
  return AllocationFailure{"\nallocation failure in operator new()",
                           "\nNote: the run needed more memory than this machine has; analyse fewer samples or "
                           "variables at a time, or ask for fewer randomizations or threads."};
}

std::size_t available_memory() {
  if (std::FILE* info = std::fopen("/proc/meminfo", "r")) {
    char line[256];
    unsigned long long kilobytes = 0;
    bool found = false;
    while (!found && std::fgets(line, sizeof line, info) != nullptr)
      found = std::sscanf(line, "MemAvailable: %llu kB", &kilobytes) == 1;
    std::fclose(info);
    if (found && kilobytes > 0) return static_cast<std::size_t>(kilobytes) * 1024;
  }
  long pages = sysconf(_SC_PHYS_PAGES);
  long page_size = sysconf(_SC_PAGE_SIZE);
  if (pages <= 0 || page_size <= 0) return static_cast<std::size_t>(-1);
  return static_cast<std::size_t>(pages) * static_cast<std::size_t>(page_size);
}

bool range_extent(int lo, int hi, std::size_t& extent) {
  long long n = static_cast<long long>(hi) - lo + 1;
  if (n < 0) return false;
  extent = static_cast<std::size_t>(n);
  return true;
}

bool product_extent(std::size_t a, std::size_t b, std::size_t& product) {
  return !__builtin_mul_overflow(a, b, &product);
}

}  // namespace kalveno
