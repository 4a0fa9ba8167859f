// What the program prints for --help and --version.
#pragma once

namespace kalveno {

class Console;

// The usage text: the ways to start the program, every option, the
// environment variables and the exit statuses.
void print_usage(Console& console);
// The version line.
void print_version(Console& console);

}  // namespace kalveno
