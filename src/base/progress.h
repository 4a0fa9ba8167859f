// How far a long step has come, on a line of the terminal that updates in
// place: "Moran's I of the data: 42% done, about 13 s left". The line goes
// to the error stream, only when that is a terminal and progress marks are
// on, only once the step has run for two seconds, and it is erased when the
// step ends: nothing of it reaches a file or stays on the screen. A step
// may have stages, each with its own share done.
#pragma once
#include <atomic>
#include <chrono>
#include <iosfwd>
#include <mutex>
#include <string>

namespace kalveno {

class Console;

class Progress {
 public:
  // Shows nothing.
  Progress() = default;
  // A step on console's terminal; show_after is how long it runs before its
  // line shows.
  explicit Progress(Console& console, std::chrono::steady_clock::duration show_after = std::chrono::seconds(2));
  Progress(const Progress&) = delete;
  Progress& operator=(const Progress&) = delete;
  ~Progress();  // erases the line

  // The next stage, named by what, of total units of work. Called while no
  // other thread advances.
  void begin(std::string what, double total);
  // Adds done units of work to the stage; any thread may call it.
  void advance(double done);

 private:
  using Clock = std::chrono::steady_clock;
  void draw(Clock::time_point now);

  std::ostream* stream_ = nullptr;  // nullptr: nothing is shown
  bool own_line_ = false;        // starts on a new line, below the console's unfinished one
  std::string what_;
  double total_ = 0;
  Clock::time_point stage_start_;
  std::atomic<double> done_{0};
  std::atomic<Clock::rep> next_draw_{0};  // ticks of the clock
  std::mutex drawing_;
  bool shown_ = false;  // guarded by drawing_
};

// "12 s", "3 min 20 s", "2 h 05 min": a time left, rounded up to the second.
std::string time_left_text(double seconds);

}  // namespace kalveno
