// The kalveno-plot program: reads the spatial autocorrelation sections of a
// results file (which it never writes to) and writes one SVG correlogram per
// variable into a folder, or with --maps one SVG map of local Moran's I per
// variable.
#pragma once
#include <iosfwd>
#include <string>
#include <vector>

namespace kalveno::plot {

enum PlotStatus {
  kPlotsWritten = 0,
  kPlotOutOfMemory = 1,  // memory could not be had
  kPlotRefused = 2,      // bad arguments, or nothing in the results file to draw
  kPlotUnwritable = 5,   // a figure could not be written
};

// Runs the program with the arguments after its name; messages go to out,
// complaints to err. Returns the exit status; a std::bad_alloc ends it as
// the allocation failure it is, with its message on err.
int run_plot_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kalveno::plot
