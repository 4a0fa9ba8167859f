#include "base/console.h"

#include <csignal>
#include <cstdarg>
#include <iostream>
#include <termios.h>
#include <unistd.h>

#include "base/text.h"

namespace kalveno {

namespace {

// Terminal settings to put back if the user interrupts a key wait.
termios g_saved_terminal;
volatile sig_atomic_t g_terminal_fd_to_restore = -1;

extern "C" void restore_terminal_and_reraise(int signal_number) {
  if (g_terminal_fd_to_restore >= 0) tcsetattr(g_terminal_fd_to_restore, TCSANOW, &g_saved_terminal);
  std::signal(signal_number, SIG_DFL);
  std::raise(signal_number);
}

}  // namespace

Console::Console(std::istream& in, std::ostream& out, int terminal_fd, std::ostream* err)
    : in_(in), out_(out), err_(err), terminal_fd_(terminal_fd) {}

void Console::emit(std::string_view text) {
  if (text.empty()) return;
  out_ << text;
  at_line_start_ = text.back() == '\n';
}

void Console::say_what_the_wait_is_for(std::string_view purpose) {
  emit("\nPress Return to ");
  emit(purpose);
  emit(".");
}

void Console::wait_return(std::string_view purpose) {
  if (terminal_fd_ < 0) return;
  say_what_the_wait_is_for(purpose);
  read_line();
}

void Console::print(const char* format, ...) {
  va_list args;
  va_start(args, format);
  emit(vformat(format, args));
  va_end(args);
}

void Console::write(std::string_view text) { emit(text); }

void Console::flush() { out_.flush(); }

void Console::error(std::string_view text) {
  if (!at_line_start_) emit("\n");
  std::ostream& err = err_ != nullptr ? *err_ : out_;
  out_.flush();
  err << text;
  err.flush();
  if (&err == &out_) at_line_start_ = text.empty() || text.back() == '\n';
}

void Console::warn(std::string_view text) {
  emit(text);
  if (!warnings_copied_ || err_ == nullptr) return;
  // One line: the message's own line breaks become blanks.
  std::string line(trim_blanks(text));
  for (char& c : line)
    if (c == '\n') c = ' ';
  out_.flush();
  *err_ << line << '\n';
  err_->flush();
}

std::string Console::read_line() {
  out_.flush();
  std::string line;
  if (input_closed_ || !std::getline(in_, line)) {
    input_ended_ = true;
    return {};
  }
  if (!line.empty() && line.back() == '\r') line.pop_back();
  // A terminal shows the answer and the Return that ends it.
  if (terminal_fd_ >= 0) at_line_start_ = true;
  return line;
}

void Console::wait_key(std::string_view purpose) {
  if (terminal_fd_ >= 0 && !purpose.empty()) say_what_the_wait_is_for(purpose);
  out_.flush();
  if (terminal_fd_ < 0) return;
  termios saved;
  if (tcgetattr(terminal_fd_, &saved) != 0) return;
  g_saved_terminal = saved;
  g_terminal_fd_to_restore = terminal_fd_;
  struct sigaction restore = {}, old_int = {}, old_term = {}, old_quit = {};
  restore.sa_handler = restore_terminal_and_reraise;
  sigaction(SIGINT, &restore, &old_int);
  sigaction(SIGTERM, &restore, &old_term);
  sigaction(SIGQUIT, &restore, &old_quit);

  termios raw = saved;
  raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO);
  raw.c_cc[VMIN] = 1;
  raw.c_cc[VTIME] = 0;
  tcsetattr(terminal_fd_, TCSANOW, &raw);
  // A key may send several bytes (arrows, function keys): take them all.
  char key[16];
  if (::read(terminal_fd_, key, sizeof key) == 0) input_ended_ = true;

  tcsetattr(terminal_fd_, TCSANOW, &saved);
  g_terminal_fd_to_restore = -1;
  sigaction(SIGINT, &old_int, nullptr);
  sigaction(SIGTERM, &old_term, nullptr);
  sigaction(SIGQUIT, &old_quit, nullptr);
}

}  // namespace kalveno
