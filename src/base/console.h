// The program's dialogue with its user: text out, whole answer lines in, and
// the wait for one key press. The program runs it on standard input and
// output; tests script it with string streams.
#pragma once
#include <iosfwd>
#include <string>
#include <string_view>

namespace kalveno {

class Console {
 public:
  // terminal_fd is the descriptor of the terminal that input comes from, or
  // -1 when input is not a terminal (a pipe, a file, a test's stream).
  Console(std::istream& in, std::ostream& out, int terminal_fd = -1);

  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void write(std::string_view text);
  void flush();

  // One whole answer line of any length, without its line end (nor a carriage
  // return before it). At end of input the answer is empty and input_ended()
  // turns true.
  std::string read_line();
  bool input_ended() const { return input_ended_; }

  // One key press read without echo from the terminal, whose settings are
  // restored afterwards (also on Ctrl+C). Without a terminal nothing can be
  // waited on: the call returns at once and consumes nothing. With a purpose,
  // a line on the terminal first says what the wait is for: "Press Return to
  // <purpose>."; callers whose message already says it pass none.
  void wait_key(std::string_view purpose = {});
  // Waits for Return (one line read) after the line "Press Return to
  // <purpose>."; without a terminal, prints nothing and reads nothing.
  void wait_return(std::string_view purpose);
  bool is_terminal() const { return terminal_fd_ >= 0; }

 private:
  void say_what_the_wait_is_for(std::string_view purpose);

  std::istream& in_;
  std::ostream& out_;
  int terminal_fd_;
  bool input_ended_ = false;
};

}  // namespace kalveno
