#include "base/progress.h"

#include <cmath>
#include <ostream>

#include "base/console.h"
#include "base/text.h"

namespace kalveno {

namespace {

constexpr std::chrono::milliseconds kRedrawEvery(500);

}  // namespace

Progress::Progress(Console& console, Clock::duration show_after)
    : stream_(console.progress_stream()),
      own_line_(console.out_is_terminal() && !console.at_line_start()),
      stage_start_(Clock::now()) {
  next_draw_ = (stage_start_ + show_after).time_since_epoch().count();
  // The console's text so far reaches the screen before the line.
  if (stream_ != nullptr) console.flush();
}

void Progress::begin(std::string what, double total) {
  what_ = std::move(what);
  total_ = total;
  done_ = 0;
  stage_start_ = Clock::now();
}

Progress::~Progress() {
  std::lock_guard<std::mutex> hold(drawing_);
  if (shown_) *stream_ << "\r\033[K" << std::flush;
}

void Progress::advance(double done) {
  if (stream_ == nullptr) return;
  done_ += done;
  const Clock::time_point now = Clock::now();
  Clock::rep due = next_draw_.load(std::memory_order_relaxed);
  if (now.time_since_epoch().count() < due) return;
  // One thread draws; the others go on with their work.
  if (!next_draw_.compare_exchange_strong(due, (now + kRedrawEvery).time_since_epoch().count())) return;
  std::lock_guard<std::mutex> hold(drawing_);
  draw(now);
}

void Progress::draw(Clock::time_point now) {
  const double share = total_ > 0 ? std::min(1.0, done_.load() / total_) : 0;
  const double elapsed = std::chrono::duration<double>(now - stage_start_).count();
  // Below the first percent the pace is not known well enough to tell.
  std::string left = share >= 0.01 ? ", about " + time_left_text(elapsed * (1 - share) / share) + " left" : "";
  // On a terminal that also shows the console's text, a line the console
  // left unfinished is left as it is: the progress takes the next one, so
  // that erasing it leaves that text whole.
  if (!shown_ && own_line_) *stream_ << '\n';
  shown_ = true;
  *stream_ << '\r' << what_ << format(": %.0f%% done", std::floor(100 * share)) << left << "\033[K" << std::flush;
}

std::string time_left_text(double seconds) {
  const long long whole = static_cast<long long>(std::ceil(seconds));
  if (whole < 60) return format("%lld s", whole);
  if (whole < 3600) return format("%lld min %02lld s", whole / 60, whole % 60);
  return format("%lld h %02lld min", whole / 3600, whole % 3600 / 60);
}

}  // namespace kalveno
