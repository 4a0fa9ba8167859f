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
  // Refusals of the command line go to err when given, else to out.
  Console(std::istream& in, std::ostream& out, int terminal_fd = -1, std::ostream* err = nullptr);

  void print(const char* format, ...) __attribute__((format(printf, 2, 3)));
  void write(std::string_view text);
  void flush();
  // A message about the command line, on the error stream. When the console
  // line is unfinished it is ended first, so that on a terminal showing both
  // streams the message starts on a line of its own.
  void error(std::string_view text);

  // Every warning, and the message of every refusal or early stop, goes
  // through here: shown on the console like any text and, once
  // copy_warnings_to_errors(true) was called (a run started with an analysis
  // option, whose console output a script may throw away), copied to the
  // error stream as well, as one line without the blank lines around it.
  void warn(std::string_view text);
  void copy_warnings_to_errors(bool copied) { warnings_copied_ = copied; }

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

  // From now on nothing is read or waited for: every answer is empty, input
  // has ended and there is no terminal. A run whose choices all came from
  // the command line uses it, so that no question or key can hold it up.
  void close_input() {
    input_closed_ = input_ended_ = true;
    terminal_fd_ = -1;
  }

  // Whether the replicate loops print their progress marks (on by default).
  void set_progress_marks(bool shown) { progress_marks_ = shown; }
  bool progress_marks() const { return progress_marks_; }

 private:
  void say_what_the_wait_is_for(std::string_view purpose);
  void emit(std::string_view text);

  std::istream& in_;
  std::ostream& out_;
  std::ostream* err_;
  int terminal_fd_;
  bool input_ended_ = false;
  bool input_closed_ = false;
  bool progress_marks_ = true;
  bool warnings_copied_ = false;
  bool at_line_start_ = true;  // the last text shown ended its line
};

}  // namespace kalveno
