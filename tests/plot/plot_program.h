// Test support for kalveno-plot: runs the real binary in a folder and checks
// the SVG files it writes.
#pragma once
#include <string>
#include <vector>

#include "support/run_program.h"

namespace kalveno::testing {

using PlotRun = ProgramRun;

// Runs kalveno-plot in folder with args.
PlotRun run_kalveno_plot(const std::string& folder, const std::vector<std::string>& args);

// True when xmllint can be run.
bool have_xmllint();
// Empty when xmllint finds the file well-formed, otherwise what it says.
std::string xml_problems(const std::string& path);

// Occurrences of needle in text.
int count_of(const std::string& text, const std::string& needle);

}  // namespace kalveno::testing
