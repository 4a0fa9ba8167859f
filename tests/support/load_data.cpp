#include "support/load_data.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/console.h"
#include "base/program_end.h"
#include "support/run_program.h"

namespace kalveno::testing {

DataSet load_data_set(const std::string& content) {
  TempFolder folder;
  folder.write("data.txt", content);
  std::istringstream in;
  std::ostringstream out;
  Console console(in, out);
  DataSet data;
  try {
    read_data_header(console, folder.file("data.txt"), data);
    allocate_sample_arrays(data);
    load_data_file(console, folder.file("data.txt"), data);
  } catch (const ProgramEnd& end) {
    ADD_FAILURE() << "data file refused (status " << end.status << "): " << out.str();
  }
  return data;
}

}  // namespace kalveno::testing
