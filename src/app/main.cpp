// The kalveno program: a thin entry over run_kalveno.
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "base/console.h"
#include "base/interruption.h"

int main(int argc, char** argv) {
  kalveno::ignore_broken_pipe();
  std::vector<std::string> args(argv + 1, argv + argc);
  kalveno::Console console(std::cin, std::cout, isatty(STDIN_FILENO) ? STDIN_FILENO : -1, &std::cerr);
  return kalveno::run_kalveno(console, args, kalveno::RunSettings::of_this_process());
}
