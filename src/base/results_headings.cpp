#include "base/results_headings.h"

#include "base/version.h"

namespace kalveno::headings {

std::string run_banner() { return program_version() + kBannerAuthor + "Bremwick"; }

bool is_run_banner(std::string_view line) {
  return line.starts_with(std::string(kProgramName) + " ") && line.find(kBannerAuthor) != std::string_view::npos;
}

std::string local_table_heading() {
  std::string heading = kLocalTableCounts;
  for (const char* quadrant : kCountedQuadrants) heading += std::string("\t") + quadrant;
  return heading;
}

}  // namespace kalveno::headings
