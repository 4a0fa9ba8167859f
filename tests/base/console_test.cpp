// The waits for a key or for Return: on a terminal they say in one line what
// they wait for; without one they print nothing and take no answer.
#include "base/console.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sstream>
#include <cstring>
#include <stdlib.h>
#include <unistd.h>

namespace kalveno {
namespace {

// A pseudo-terminal: the program's side reads what is written to the other.
class PseudoTerminal {
 public:
  PseudoTerminal() {
    keyboard_ = posix_openpt(O_RDWR | O_NOCTTY);
    if (keyboard_ < 0 || grantpt(keyboard_) != 0 || unlockpt(keyboard_) != 0) return;
    terminal_ = ::open(ptsname(keyboard_), O_RDWR | O_NOCTTY);
  }
  ~PseudoTerminal() {
    if (terminal_ >= 0) ::close(terminal_);
    if (keyboard_ >= 0) ::close(keyboard_);
  }
  int terminal() const { return terminal_; }
  bool press(const char* keys) { return ::write(keyboard_, keys, std::strlen(keys)) > 0; }

 private:
  int keyboard_ = -1, terminal_ = -1;
};

TEST(ConsoleWaits, OnATerminalSayWhatTheyWaitFor) {
  PseudoTerminal pty;
  ASSERT_GE(pty.terminal(), 0);
  std::istringstream answers("\nnext answer\n");
  std::ostringstream screen;
  Console console(answers, screen, pty.terminal());

  ASSERT_TRUE(pty.press("x"));
  console.wait_key("go on");
  EXPECT_EQ(screen.str(), "\nPress Return to go on.");

  screen.str("");
  console.wait_return("end the run");
  EXPECT_EQ(screen.str(), "\nPress Return to end the run.");
  EXPECT_EQ(console.read_line(), "next answer");

  // A wait whose message already says what to press adds no line.
  screen.str("");
  ASSERT_TRUE(pty.press("x"));
  console.wait_key();
  EXPECT_EQ(screen.str(), "");
}

TEST(ConsoleWaits, WithoutATerminalPrintNothingAndTakeNoAnswer) {
  std::istringstream answers("next answer\n");
  std::ostringstream screen;
  Console console(answers, screen);
  console.wait_key("go on");
  console.wait_return("end the run");
  EXPECT_EQ(screen.str(), "");
  EXPECT_EQ(console.read_line(), "next answer");
}

}  // namespace
}  // namespace kalveno
