// The results file is only ever appended to: each writer opens it here,
// appends its section and closes it, so it is never held open between
// sections and nothing written earlier can be lost.
#pragma once
#include <string>

#include "base/files.h"

namespace kalveno {

class Console;

// Opens the results file for appending. While it cannot be opened, warns and
// waits for a key before trying again (without a terminal: stops, status 4).
OutputFile open_results_for_append(Console& console, const std::string& path);

// Closes the section. When it could not be stored whole (a full disk), says
// so rather than let the run pass for a success, and ends with status 5.
void close_results(Console& console, OutputFile& file, const std::string& path);

}  // namespace kalveno
