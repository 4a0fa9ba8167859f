// What every process of a run spread over several must share, each as a
// 64-bit digest that the processes compare before any work: the options
// that can change a result, and the data as read. A process that differs
// would compute other replicates than the first process sums up; the
// digests let the run refuse it instead (kalveno-mpi).
#pragma once
#include <cstdint>

namespace kalveno {

struct CommandLine;
struct DataSet;

// The options that can change a result, the seed among them, each by its
// long name with its value, in the order of their names (the order of the
// repeats of one option kept). Left out: --quiet and --threads, which
// change how the run shows its progress and how many threads share the work
// but never a result; and the names of the files, which only the first
// process writes, and of the data file, whose data are compared as read.
// Whether an output file is asked for counts.
std::uint64_t options_digest(const CommandLine& line);

// Every field of the data set as the loader left it, whatever the format of
// the file it came from: the text of the header, the counts, the names, the
// coordinates and what is worked out from them, the grid positions and every
// value, to the bit.
std::uint64_t data_digest(const DataSet& data);

}  // namespace kalveno
