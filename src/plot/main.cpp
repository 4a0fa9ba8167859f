// The kalveno-plot program: a thin entry over run_plot_command.
#include <iostream>
#include <string>
#include <vector>

#include "base/interruption.h"
#include "plot/plot_command.h"

int main(int argc, char** argv) {
  kalveno::ignore_broken_pipe();
  std::vector<std::string> args(argv + 1, argv + argc);
  return kalveno::plot::run_plot_command(args, std::cout, std::cerr);
}
