// The kalveno program: a thin entry over run_kalveno.
#include <iostream>
#include <string>
#include <unistd.h>
#include <vector>

#include "base/console.h"
#include "app/startup.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  kalveno::Console console(std::cin, std::cout, isatty(STDIN_FILENO) ? STDIN_FILENO : -1);
  return kalveno::run_kalveno(console, args);
}
