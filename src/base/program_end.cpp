#include "base/program_end.h"

#include "base/console.h"

namespace kalveno {

void end_program(int status) { throw ProgramEnd{status}; }

void refuse_data_file(Console& console, const std::string& warning) {
  console.warn(warning);
  console.wait_return("end the run");
  end_program(kDataFileRefused);
}

void stop_without_answer(Console& console, const std::string& why) {
  console.warn("\n" + why + "\n");
  end_program(kNoAnswerCanCome);
}

void wait_key_or_stop(Console& console, const std::string& why) {
  if (!console.is_terminal()) stop_without_answer(console, why);
  console.wait_key();
}

}  // namespace kalveno
