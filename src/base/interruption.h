// Ctrl+C while the randomizations run. A long series stopped by the user
// should end the run cleanly, with a line in the results file saying how far
// it got, rather than be cut off wherever the signal falls. While a
// CatchInterruption exists, SIGINT only raises a flag, which the replicate
// loop looks at between replicates; outside its scope SIGINT ends the program
// at once, as it always has (a question can always be left with Ctrl+C).
#pragma once
#include <csignal>

namespace kalveno {

class CatchInterruption {
 public:
  CatchInterruption();   // clears the flag and catches SIGINT
  ~CatchInterruption();  // gives SIGINT back its earlier handling
  CatchInterruption(const CatchInterruption&) = delete;
  CatchInterruption& operator=(const CatchInterruption&) = delete;

 private:
  struct sigaction earlier_;
};

// Whether SIGINT came while a CatchInterruption was in place.
bool interruption_requested();

}  // namespace kalveno
