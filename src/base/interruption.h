// Stopping a run while the randomizations run: Ctrl+C (SIGINT), a batch
// system's time limit (SIGTERM) or a closed terminal (SIGHUP). A long series
// stopped so should end the run cleanly, with a line in the results file
// saying how far it got and what stopped it, rather than be cut off wherever
// the signal falls. While a CatchInterruption exists, these signals only
// raise a flag naming the signal, which the replicate loops look at between
// replicates; outside its scope they end the program at once, as they
// always have (a question can always be left with Ctrl+C).
#pragma once
#include <csignal>

namespace kalveno {

class CatchInterruption {
 public:
  CatchInterruption();   // clears the flag and catches the stop signals
  ~CatchInterruption();  // gives them back their earlier handling
  CatchInterruption(const CatchInterruption&) = delete;
  CatchInterruption& operator=(const CatchInterruption&) = delete;

 private:
  struct sigaction earlier_[3];  // of SIGINT, SIGTERM and SIGHUP
};

// Whether a stop signal came while a CatchInterruption was in place.
bool interruption_requested();
// The first stop signal that came (SIGINT, SIGTERM or SIGHUP), or 0.
int interruption_signal();
// The name of a stop signal, "SIGINT", "SIGTERM" or "SIGHUP".
const char* signal_name(int signal_number);

// A console that went away (its reader closed the pipe) must not end the run
// before the files are written: writes to it fail instead, and the run goes
// on. For the whole run.
void ignore_broken_pipe();

}  // namespace kalveno
