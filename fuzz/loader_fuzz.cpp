// Fuzzing target: the data-file loader alone, on arbitrary bytes. A file is
// either refused with a warning or loaded into a data set that holds what
// the analyses take for granted; anything else (a crash, a sanitizer report,
// a broken promise below) is a finding.
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <limits>
#include <string>

#include "base/text.h"
#include "data/data_file.h"

namespace {

void require(bool condition) {
  if (!condition) std::abort();
}

// A finite number of single precision, as every number of the file but the
// coordinates is read.
bool is_float_number(double x) { return std::isfinite(x) && static_cast<double>(static_cast<float>(x)) == x; }

// A coordinate, read in double precision within the single-precision range.
bool is_coordinate(double x) { return std::fabs(x) <= std::numeric_limits<float>::max(); }

// A name read whole: never empty, never with blanks around it.
bool is_whole_name(const std::string& name) { return !name.empty() && kalveno::trim_blanks(name) == name; }

// What a loaded data set promises the code that works on it.
void check_loaded(const kalveno::DataSet& data) {
  const int n = data.n_samples, v_count = data.n_variables, g_count = data.n_grids;
  require(n >= 0 && v_count >= 0 && g_count >= 0 && g_count <= n);
  require(!data.missing_code.empty() && data.title_line.back() == '\n');
  for (int c = 1; c <= data.classes.n_classes; ++c) require(is_float_number(data.classes.class_max[c]));
  for (int i = 1; i <= n; ++i) {
    require(is_whole_name(data.sample_names[i]));
    require(is_coordinate(data.x[i]) && is_coordinate(data.y[i]));
    if (g_count == 0) continue;
    require(1 <= data.sample_grid(0, i) && data.sample_grid(0, i) <= g_count);
    require(0 <= data.sample_grid(1, i) && data.sample_grid(1, i) <= data.max_grid_x);
    require(0 <= data.sample_grid(2, i) && data.sample_grid(2, i) <= data.max_grid_y);
  }
  for (int j = 1; j <= v_count; ++j) {
    require(!data.var_names[j].empty());
    const int kind = data.var_kind[j];
    require(kind >= 0);
    if (kind > 0) require(data.state_names[j].size() == static_cast<std::size_t>(kind) + 1);
    for (int i = 1; i <= n; ++i) {
      const double value = data.values(j, i);
      if (value == kalveno::MISSING_VALUE) continue;
      if (kind == 0)
        require(is_float_number(value));
      else
        require(value == std::floor(value) && 1 <= value && value <= kind);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* bytes, std::size_t size) {
  // 64 MB for the largest block. A header's counts must each be backed by
  // lines or cells, but their product need not: a few kilobytes can ask for
  // more, which ends the run with the allocator's message.
  const kalveno::Allocator allocator(64u << 20);
  kalveno::DataSet data;
  try {
    const kalveno::DataFile file(std::string(reinterpret_cast<const char*>(bytes), size));
    // Warnings about what the run goes on with are console lines of their own.
    const kalveno::DataFileWarning warn = [](const std::string& warning) {
      require(warning.rfind("\nWarning: ", 0) == 0);
    };
    file.read_header(allocator, data, warn);
    kalveno::allocate_sample_arrays(allocator, data);
    file.read_samples(allocator, data, warn);
  } catch (const kalveno::DataFileRefused& refused) {
    require(refused.warning.rfind("\n\nWARNING: ", 0) == 0);
    return 0;
  } catch (const kalveno::AllocationFailure&) {
    return 0;  // the program's own end: its message and status 1
  }
  check_loaded(data);
  return 0;
}
