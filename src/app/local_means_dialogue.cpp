#include "app/local_means_dialogue.h"

#include "app/results_file.h"
#include "app/session.h"
#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "base/progress.h"
#include "base/text.h"
#include "descriptive/local_means.h"

namespace kalveno {

void run_local_means(Session& session, float threshold) {
  Console& console = session.console;
  const std::string& file = session.new_variables_file;
  // The new-variables file is replaced whole: never when it is the data or the results.
  if (same_file(file, session.data_file_name) || same_file(file, session.results_file_name)) {
    console.warn(format("\nWARNING: %s is the data file or the results file of this run; the new variables are "
                        "not written, so as not to erase it.\n", file.c_str()));
    end_program(kResultsUnwritable);
  }
  LocalMeans local;
  {
    Progress progress(console);
    local = local_means(session.allocator, session.data, threshold, &progress);
  }
  session.files.replace_new_variables(file, [&](OutputFile& out) {
    write_new_variables(out, session.data, local, session.data_file_name, threshold);
  });
  session.new_variables_written = true;
  console.print("\nNew variables written in file: %s", file.c_str());
}

void run_local_means(Session& session) {
  Console& console = session.console;
  console.print("\n\n\n\nVARIABLE DUPLICATION\n\nEnter the distance threshold for computing local means per "
                "quantitative variable (use a negative value for local means with the focal site excluded)\n");
  // An answer that does not start with a number, empty or not, computes nothing.
  ScannedFloat threshold = scan_float(console.read_line());
  if (!threshold.found) {
    console.write("\nNote: the distance threshold is not a number: no local means are computed.\n");
    return;
  }
  run_local_means(session, threshold.value);
  console.wait_return("end the run");
}

}  // namespace kalveno
