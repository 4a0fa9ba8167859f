// The progress line of a long step: on the error stream's terminal only,
// updated in place, erased at the end.
#include "base/progress.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/console.h"

namespace kalveno {
namespace {

std::string shown(bool err_terminal, bool out_terminal, bool marks) {
  std::istringstream in;
  std::ostringstream out, err;
  Console console(in, out, -1, &err);
  console.set_terminals(err_terminal, out_terminal);
  console.set_progress_marks(marks);
  console.print("\nComputing");  // a console line left unfinished
  {
    Progress progress(console, std::chrono::seconds(0));
    progress.begin("Pair table", 200);
    progress.advance(50);
  }
  return err.str();
}

TEST(Progress, UpdatesALineOnTheErrorTerminalAndErasesIt) {
  const std::string alone = shown(true, false, true);
  EXPECT_EQ(alone.rfind("\rPair table: 25% done, about ", 0), 0u) << alone;
  EXPECT_TRUE(alone.ends_with(" left\033[K\r\033[K")) << alone;
  // Below the console's unfinished line, on a line of its own.
  EXPECT_EQ(shown(true, true, true).rfind("\n\rPair table: 25% done", 0), 0u);
  EXPECT_EQ(shown(false, true, true), "");  // standard error is no terminal
  EXPECT_EQ(shown(true, true, false), "");  // -q
  EXPECT_EQ(time_left_text(0.2), "1 s");
  EXPECT_EQ(time_left_text(200), "3 min 20 s");
  EXPECT_EQ(time_left_text(7500), "2 h 05 min");
}

}  // namespace
}  // namespace kalveno
