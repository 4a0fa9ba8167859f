// One run of the program, from the banner to the end of the chosen analysis,
// and the top of the program where every early end becomes an exit status.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "app/settings.h"

namespace kalveno {

class Console;
class ProcessGroup;

// Runs the program with the command-line arguments after its name (options
// and file names) and returns the exit status; a refused option ends it with
// status 6 before anything is written. An allocation failure anywhere below ends here:
// its message is printed and appended to error.txt (status 1; status 3, after
// a key press, when error.txt cannot be written), be it an allocator's or a
// std::bad_alloc.
int run_kalveno(Console& console, const std::vector<std::string>& args, const RunSettings& settings);
// The same run spread over group: every process calls it with the same
// arguments. Without an analysis option it is refused (status 6) when the
// group has more than one process. Every process returns the same status.
int run_kalveno(Console& console, const std::vector<std::string>& args, const RunSettings& settings,
                ProcessGroup& group);

// Runs run, the part of a run whose early ends become exit statuses, and
// returns kFinished or the status of its end: that of a ProgramEnd, or of
// an allocation failure (an AllocationFailure, or a std::bad_alloc from
// outside the allocators), printed and logged as run_kalveno says; a
// process that writes no files logs none.
int status_of_run(Console& console, bool writes_files, const std::function<void()>& run);

}  // namespace kalveno
