#include "plot/plot_program.h"

#include <cstdlib>

#include "support/run_program.h"

namespace kalveno::testing {

PlotRun run_kalveno_plot(const std::string& folder, const std::vector<std::string>& args) {
  return run_program(KALVENO_PLOT_BINARY, folder, args, "");
}

bool have_xmllint() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

std::string xml_problems(const std::string& path) {
  TempFolder scratch;
  const std::string command = "xmllint --noout '" + path + "' 2>'" + scratch.file("report") + "'";
  if (std::system(command.c_str()) == 0) return "";
  std::string report = scratch.read("report");
  return report.empty() ? "xmllint failed" : report;
}

int count_of(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
    ++count;
  return count;
}

}  // namespace kalveno::testing
