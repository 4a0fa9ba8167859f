#include "app/usage.h"

#include "base/console.h"

namespace kalveno {

namespace {

const char kVersion[] = "KALVENO 1.0\n";

const char kUsage[] =
    "Usage: kalveno [OPTION]... [DATA_FILE [RESULTS_FILE]]\n"
    "       kalveno --spatial|--association|--local-means=RADIUS [OPTION]...\n"
    "               DATA_FILE RESULTS_FILE\n"
    "\n"
    "Analyses spatially located samples: spatial autocorrelation (Moran's I per\n"
    "distance class), association between variables, and local means. Without an\n"
    "analysis option the questions are asked on the console and answered one per\n"
    "line; with one, the options answer them and nothing is asked. Results are\n"
    "appended to the results file as tab-separated text.\n"
    "\n"
    "  kalveno                    asks for the data file and the results file;\n"
    "                             Return selects in.txt and out.txt\n"
    "  kalveno DATA_FILE          the folder of DATA_FILE (the path up to its last\n"
    "                             / or \\) becomes the working folder; the results\n"
    "                             file is asked for\n"
    "  kalveno DATA_FILE RESULTS_FILE\n"
    "                             both files given: no file question is asked\n"
    "\n"
    "Analysis (one per run; all need both files):\n"
    "      --spatial              spatial autocorrelation (menu choice 1)\n"
    "      --association          association between variables (menu choice 2)\n"
    "      --local-means=RADIUS   local means within RADIUS into newvar.txt (menu\n"
    "                             choice 3); a negative RADIUS leaves the focal\n"
    "                             sample out\n"
    "Tests (--spatial, --association):\n"
    "  -r, --randomizations=N     N randomizations, 0 to 100000 (default 0: the\n"
    "                             observed statistics only)\n"
    "  -b, --both-tests           the toroidal test too (spatial) or the complete\n"
    "                             test too (association); needs grids\n"
    "  -d, --detailed             the detailed report of the tests\n"
    "Pair selection (--spatial; default: every pair):\n"
    "      --pairs-by=VARIABLE    the qualitative variable whose states select pairs,\n"
    "                             with one of:\n"
    "      --same-state           pairs of samples in the same state\n"
    "      --distinct-states      pairs of samples in distinct states\n"
    "      --state=STATE          pairs of samples both in STATE; given twice, pairs\n"
    "                             with one sample in each of the two states\n"
    "      --interval=MIN,MAX     the regression on distance over pairs from MIN to\n"
    "                             MAX apart (default: every pair)\n"
    "Files and run:\n"
    "      --append               add to an existing results file (the default;\n"
    "                             with questions, this one is no longer asked)\n"
    "      --replace              empty an existing results file first\n"
    "      --table=FILE           also write the statistics to FILE as CSV, one row\n"
    "                             per statistic (replaced if it exists)\n"
    "      --seed=N               the random seed, 1 to 2147483646 (wins over\n"
    "                             KALVENO_SEED)\n"
    "  -j, --threads=N            worker threads, 1 to 1024 (wins over\n"
    "                             KALVENO_THREADS)\n"
    "  -q, --quiet                no progress marks\n"
    "  -h, --help                 print this text\n"
    "      --version              print the version\n"
    "Long options also take their value as the next argument (--seed 7); \"--\"\n"
    "ends the options, so that a file name may begin with \"-\".\n"
    "\n"
    "Environment:\n"
    "  KALVENO_SEED     an integer from 1 to 2147483646 that fixes the random seed,\n"
    "                   so that a test can be reproduced exactly (default: the clock,\n"
    "                   whose seed the console shows)\n"
    "  KALVENO_THREADS  number of worker threads for the randomizations, 1 to 1024\n"
    "                   (default: every hardware thread)\n"
    "  KALVENO_VECTORS  avx512, avx2 or sse2: the vector instructions of the spatial\n"
    "                   autocorrelation and the association; the results are the\n"
    "                   same with each\n"
    "                   (default: the best this processor has)\n"
    "\n"
    "Exit status:\n"
    "  0  the run finished\n"
    "  1  memory could not be had; the message is appended to error.txt\n"
    "  2  the data file was refused; its warning says why\n"
    "  3  error.txt could not be written\n"
    "  4  stopped because no answer can come (input ended, or no terminal to wait\n"
    "     on for a key)\n"
    "  5  the results file, the table or newvar.txt could not be written whole (a\n"
    "     full disk)\n"
    "  6  an option or argument was refused; its message names it, and nothing was\n"
    "     written\n"
    "\n"
    "kalveno-plot RESULTS_FILE draws the spatial autocorrelation results of a\n"
    "results file as SVG correlograms (see kalveno-plot --help).\n"
    "mpirun -np K kalveno-mpi OPTION... DATA_FILE RESULTS_FILE runs an analysis\n"
    "with its randomizations spread over K processes, into the same results\n"
    "(see man kalveno-mpi).\n";

}  // namespace

void print_usage(Console& console) {
  console.write(kUsage);
  console.flush();
}

void print_version(Console& console) {
  console.write(kVersion);
  console.flush();
}

}  // namespace kalveno
