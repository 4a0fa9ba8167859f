// The kalveno program: a thin entry over run_kalveno.
#include <iostream>
#include <new>
#include <string>
#include <unistd.h>
#include <vector>

#include "app/settings.h"
#include "app/startup.h"
#include "base/allocation.h"
#include "base/console.h"
#include "base/interruption.h"
#include "base/program_end.h"
#include "base/text.h"

int main(int argc, char** argv) {
  kalveno::ignore_broken_pipe();
  // run_kalveno ends every allocation failure of a run itself; what is left
  // is the little made before it starts.
  try {
    std::vector<std::string> args(argv + 1, argv + argc);
    kalveno::Console console(std::cin, std::cout, isatty(STDIN_FILENO) ? STDIN_FILENO : -1, &std::cerr);
    return kalveno::run_kalveno(console, args, kalveno::RunSettings::of_this_process());
  } catch (const std::bad_alloc&) {
    std::cerr << "kalveno: " << kalveno::trim_blanks(kalveno::operator_new_failure().message) << "\n";
    return kalveno::kAllocationFailure;
  }
}
