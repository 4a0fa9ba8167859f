#include "base/interruption.h"

#include <atomic>
#include <iterator>

namespace kalveno {

namespace {

// In the order of CatchInterruption's earlier handlings.
constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};

// Set by the signal handler only: the one piece of global state a handler
// needs, the number of the first stop signal (0: none yet). Lock-free, so
// that the handler may set it whichever thread it interrupts, and the
// drawing thread read it.
std::atomic<int> g_stop_signal{0};
static_assert(std::atomic<int>::is_always_lock_free);

extern "C" void note_interruption(int signal_number) {
  int none = 0;
  g_stop_signal.compare_exchange_strong(none, signal_number, std::memory_order_relaxed);
}

}  // namespace

CatchInterruption::CatchInterruption() {
  g_stop_signal = 0;
  struct sigaction catching = {};
  catching.sa_handler = note_interruption;
  sigemptyset(&catching.sa_mask);
  catching.sa_flags = SA_RESTART;
  for (std::size_t s = 0; s < std::size(kStopSignals); ++s) sigaction(kStopSignals[s], &catching, &earlier_[s]);
}

CatchInterruption::~CatchInterruption() {
  for (std::size_t s = 0; s < std::size(kStopSignals); ++s) sigaction(kStopSignals[s], &earlier_[s], nullptr);
}

bool interruption_requested() { return g_stop_signal.load(std::memory_order_relaxed) != 0; }

int interruption_signal() { return g_stop_signal.load(std::memory_order_relaxed); }

const char* signal_name(int signal_number) {
  switch (signal_number) {
    case SIGINT: return "SIGINT";
    case SIGTERM: return "SIGTERM";
    case SIGHUP: return "SIGHUP";
    default: return "a signal";
  }
}

void ignore_broken_pipe() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace kalveno
