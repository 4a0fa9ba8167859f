#include "base/interruption.h"

#include <atomic>

namespace kalveno {

namespace {

// Set by the signal handler only: the one piece of global state a handler
// needs. Lock-free, so that the handler may set it whichever thread it
// interrupts, and the drawing thread read it.
std::atomic<bool> g_interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void note_interruption(int) { g_interrupted.store(true, std::memory_order_relaxed); }

}  // namespace

CatchInterruption::CatchInterruption() {
  g_interrupted = false;
  struct sigaction catching = {};
  catching.sa_handler = note_interruption;
  sigemptyset(&catching.sa_mask);
  catching.sa_flags = SA_RESTART;
  sigaction(SIGINT, &catching, &earlier_);
}

CatchInterruption::~CatchInterruption() { sigaction(SIGINT, &earlier_, nullptr); }

bool interruption_requested() { return g_interrupted.load(std::memory_order_relaxed); }

}  // namespace kalveno
