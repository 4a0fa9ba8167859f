// How a run ends early. Every such end unwinds to the program entry, which
// flushes what was written and returns the status; nothing calls exit()
// directly, so files are closed and a test or fuzz driver regains control.
#pragma once
#include <string>

namespace kalveno {

class Console;

enum ExitStatus {
  kFinished = 0,
  kAllocationFailure = 1,
  kDataFileRefused = 2,
  kErrorLogUnwritable = 3,
  kNoAnswerCanCome = 4,
  kResultsUnwritable = 5,
  kOptionRefused = 6,  // a command-line option or argument; nothing was written
  // Stopped during the randomizations, plus the signal's number, as a shell
  // reports a run ended by it: 130 for Ctrl+C (SIGINT), 143 for SIGTERM, 129
  // for SIGHUP.
  kStoppedBySignal = 128,
};

// Carries the exit status from the point of failure to the program entry.
struct ProgramEnd {
  int status;
};

[[noreturn]] void end_program(int status);

// A data file the program cannot use: the warning, a wait for Return, status 2.
[[noreturn]] void refuse_data_file(Console& console, const std::string& warning);

// The dialogue would go on asking, or waiting for a key, with nobody to answer
// (input ended, or no terminal to wait on): one line saying why, status 4.
[[noreturn]] void stop_without_answer(Console& console, const std::string& why);

// Waits for a key before a retry; without a terminal the retry could only
// fail again at once, so the run stops instead, saying why.
void wait_key_or_stop(Console& console, const std::string& why);

}  // namespace kalveno
