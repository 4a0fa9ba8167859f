// The two arguments the program answers by itself instead of taking them as
// a data-file name: --help (the usage text) and --version.
#pragma once
#include <string>
#include <vector>

namespace kalveno {

class Console;

// When the first argument is --help or --version, prints the usage text or
// the version line and returns true; otherwise prints nothing.
bool answer_information_request(Console& console, const std::vector<std::string>& args);

}  // namespace kalveno
