#include "base/allocation.h"

#include <cstdio>
#include <unistd.h>

#include "base/console.h"
#include "base/program_end.h"

namespace kalveno {

namespace {

// The memory the machine can give without swapping: MemAvailable of
// /proc/meminfo where the system reports it, else the physical memory.
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

std::size_t g_memory_budget = 0;  // 0: not yet read from the machine

}  // namespace

std::size_t memory_budget() {
  if (g_memory_budget == 0) g_memory_budget = available_memory();
  return g_memory_budget;
}

void set_memory_budget(std::size_t bytes) { g_memory_budget = bytes; }

bool range_extent(int lo, int hi, std::size_t& extent) {
  long long n = static_cast<long long>(hi) - lo + 1;
  if (n < 0) return false;
  extent = static_cast<std::size_t>(n);
  return true;
}

bool product_extent(std::size_t a, std::size_t b, std::size_t& product) {
  return !__builtin_mul_overflow(a, b, &product);
}

void log_failure(const char* file_name, const std::string& message) {
  Console& console = Console::current();
  console.print("%s", message.c_str());
  console.flush();
  std::FILE* log = std::fopen(file_name, "a");
  if (log != nullptr) {
    std::fprintf(log, "%s", message.c_str());
    if (std::fclose(log) == 0) return;
  }
  console.print("error in writing %s : cannot open file", message.c_str());
  console.wait_key();
  end_program(kErrorLogUnwritable);
}

void allocation_failure(const char* message) {
  log_failure("error.txt", message);
  end_program(kAllocationFailure);
}

}  // namespace kalveno
