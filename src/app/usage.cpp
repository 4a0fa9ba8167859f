#include "app/usage.h"

#include "base/console.h"

namespace kalveno {

namespace {

const char kVersion[] = "KALVENO 1.0\n";

const char kUsage[] =
    "Usage: kalveno\n"
    "       kalveno DATA_FILE\n"
    "       kalveno DATA_FILE RESULTS_FILE\n"
    "       kalveno --help | --version\n"
    "\n"
    "Analyses spatially located samples: spatial autocorrelation (Moran's I per\n"
    "distance class), association between variables, and local means. The\n"
    "questions are asked on the console and answered one per line, so a run can\n"
    "be scripted by piping the answers on standard input. Results are appended\n"
    "to the results file as tab-separated text.\n"
    "\n"
    "  kalveno                    asks for the data file and the results file;\n"
    "                             Return selects in.txt and out.txt\n"
    "  kalveno DATA_FILE          the folder of DATA_FILE (the path up to its last\n"
    "                             / or \\) becomes the working folder; the results\n"
    "                             file is asked for\n"
    "  kalveno DATA_FILE RESULTS_FILE\n"
    "                             both files given: no file question is asked\n"
    "\n"
    "Environment:\n"
    "  KALVENO_SEED     an integer from 1 to 2147483646 that fixes the random seed,\n"
    "                   so that a test can be reproduced exactly (default: the clock)\n"
    "  KALVENO_THREADS  number of worker threads for the randomizations, 1 to 1024\n"
    "                   (default: every hardware thread)\n"
    "  KALVENO_VECTORS  avx512, avx2 or sse2: the vector instructions of the spatial\n"
    "                   autocorrelation; the results are the same with each\n"
    "                   (default: the best this processor has)\n"
    "\n"
    "Exit status:\n"
    "  0  the run finished\n"
    "  1  memory could not be had; the message is appended to error.txt\n"
    "  2  the data file was refused; its warning says why\n"
    "  3  error.txt could not be written\n"
    "  4  stopped because no answer can come (input ended, or no terminal to wait\n"
    "     on for a key)\n"
    "  5  the results file or newvar.txt could not be written whole (a full disk)\n"
    "\n"
    "kalveno-plot RESULTS_FILE draws the spatial autocorrelation results of a\n"
    "results file as SVG correlograms (see kalveno-plot --help).\n";

}  // namespace

bool answer_information_request(Console& console, const std::vector<std::string>& args) {
  if (args.empty()) return false;
  if (args[0] == "--help") {
    console.write(kUsage);
  } else if (args[0] == "--version") {
    console.write(kVersion);
  } else {
    return false;
  }
  console.flush();
  return true;
}

}  // namespace kalveno
