#include "plot/plot_command.h"

#include <charconv>
#include <filesystem>
#include <ostream>
#include <system_error>

#include "base/files.h"
#include "plot/correlogram.h"
#include "plot/plot_files.h"
#include "plot/spatial_results.h"
#include "plot/svg_correlogram.h"

namespace kalveno::plot {

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "Usage: kalveno-plot [OPTION]... RESULTS_FILE [FOLDER]\n"
    "\n"
    "Draws the spatial autocorrelation analysis of a KALVENO results file: one SVG\n"
    "correlogram per variable (Moran's I of each distance class against the mean\n"
    "distance of the class), written into FOLDER (default: the current folder) as\n"
    "correlogram_<number>_<variable>.svg: <number> is the variable's place in the\n"
    "analysis, zero-padded to one width (01 to 12), <variable> its first 60\n"
    "characters with each but letters, digits, '.', '-' and '_' made '_'. Points\n"
    "are marked by their significance code; a detailed test adds the band between\n"
    "the 95% bounds of the randomized values. After a correction across the\n"
    "classes (kalveno --adjust), points significant before it only are hollow\n"
    "rings. A qualitative variable's correlogram shows its expectation, -1/(N-1),\n"
    "as a dotted line. The results file is only read.\n"
    "\n"
    "Options:\n"
    "  --run N       draw the N-th spatial analysis of the file (default: the last)\n"
    "  --toroidal    mark the points by the toroidal test instead of the complete one\n"
    "  --units TEXT  distance units for the axis label, e.g. --units m\n"
    "  --help        print this text\n"
    "  --version     print the version\n"
    "\n"
    "Exit status: 0 the correlograms were written; 2 bad arguments, or no spatial\n"
    "analysis to draw in the results file; 5 a correlogram could not be written.\n";

struct PlotOptions {
  bool help = false, version = false, toroidal = false;
  int run = 0;  // 1-based; 0 for the last
  std::string units;
  std::vector<std::string> files;  // the results file, then the folder
};

// Reads the arguments into options; on a mistake, says what is wrong in
// problem and returns false. "--" ends the options, so that a file named
// like one can be given.
bool parse_options(const std::vector<std::string>& args, PlotOptions& options, std::string& problem) {
  bool options_ended = false;
  for (std::size_t i = 0; i < args.size(); ++i) {
    std::string arg = args[i];
    if (options_ended || arg.size() < 2 || !arg.starts_with("--")) {
      options.files.push_back(arg);
      continue;
    }
    std::string value;
    bool has_value = false;
    if (std::size_t equals = arg.find('='); equals != std::string::npos) {
      value = arg.substr(equals + 1);
      arg.resize(equals);
      has_value = true;
    }
    const bool takes_value = arg == "--run" || arg == "--units";
    if (takes_value && !has_value) {
      if (i + 1 == args.size()) {
        problem = arg + " needs a value";
        return false;
      }
      value = args[++i];
    } else if (!takes_value && has_value) {
      problem = arg + " takes no value";
      return false;
    }
    if (arg == "--") {
      options_ended = true;
    } else if (arg == "--help") {
      options.help = true;
    } else if (arg == "--version") {
      options.version = true;
    } else if (arg == "--toroidal") {
      options.toroidal = true;
    } else if (arg == "--units") {
      options.units = value;
    } else if (arg == "--run") {
      auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.run);
      if (error != std::errc() || end != value.data() + value.size() || options.run < 1) {
        problem = "--run needs a whole number from 1 up, not \"" + value + "\"";
        return false;
      }
    } else {
      problem = "unknown option " + arg;
      return false;
    }
  }
  if (!options.help && !options.version && (options.files.empty() || options.files.size() > 2)) {
    problem = options.files.empty() ? "no results file given" : "too many file names";
    return false;
  }
  return true;
}

// Writes the correlograms of run into folder, one line each on out.
int draw_run(const SpatialRun& run, const SpatialTest* test, const PlotOptions& options, std::ostream& out,
             std::ostream& err) {
  const fs::path folder = options.files.size() > 1 ? fs::path(options.files[1]) : fs::path(".");
  std::error_code error;
  fs::create_directories(folder, error);
  if (!fs::is_directory(folder, error)) {
    err << "kalveno-plot: cannot make the folder \"" << folder.string() << "\"\n";
    return kPlotUnwritable;
  }
  int status = kPlotsWritten;
  const int count = static_cast<int>(run.variables.size());
  for (int v = 0; v < count; ++v) {
    const Correlogram figure = make_correlogram(run, v, test);
    const fs::path path = folder / correlogram_file_name(v + 1, count, figure.variable);
    if (same_file(path.string(), options.files[0])) {
      err << "kalveno-plot: " << path.string() << " is the results file itself; it is left as it is\n";
      status = kPlotUnwritable;
      continue;
    }
    if (!write_file_whole(path, correlogram_svg(figure, options.units))) {
      err << "kalveno-plot: cannot write " << path.string() << "\n";
      status = kPlotUnwritable;
      continue;
    }
    out << "  " << path.string() << "  (" << figure.points.size() << " points";
    if (!figure.bands.empty()) out << ", " << figure.bands.size() << (figure.bands.size() == 1 ? " band" : " bands");
    out << ")\n";
  }
  return status;
}

}  // namespace

int run_plot_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  PlotOptions options;
  std::string problem;
  if (!parse_options(args, options, problem)) {
    err << "kalveno-plot: " << problem << "\nTry 'kalveno-plot --help' for more information.\n";
    return kPlotRefused;
  }
  if (options.help) {
    out << kUsage;
    return kPlotsWritten;
  }
  if (options.version) {
    out << "kalveno-plot (KALVENO 1.0)\n";
    return kPlotsWritten;
  }

  const std::string& results = options.files[0];
  std::string text;
  // Any file but a folder, so that a results file can also come through a pipe.
  if (!read_text_file(results, text, Readable::kAnyButFolder)) {
    err << "kalveno-plot: cannot read the results file \"" << results << "\"\n";
    return kPlotRefused;
  }
  const std::vector<SpatialRun> runs = read_spatial_runs(text);
  const int n_runs = static_cast<int>(runs.size());
  if (n_runs == 0) {
    err << "kalveno-plot: \"" << results
        << "\" holds no spatial autocorrelation analysis, so there is nothing to draw.\n"
           "  (kalveno writes one when its menu choice 1 is taken.)\n";
    return kPlotRefused;
  }
  const int chosen = options.run == 0 ? n_runs : options.run;
  if (chosen > n_runs) {
    err << "kalveno-plot: \"" << results << "\" holds " << n_runs << " spatial autocorrelation "
        << (n_runs == 1 ? "analysis" : "analyses") << "; there is no number " << chosen << ".\n";
    return kPlotRefused;
  }
  const SpatialRun& run = runs[chosen - 1];
  if (run.variables.empty()) {
    err << "kalveno-plot: spatial analysis " << chosen << " of \"" << results
        << "\" is cut short before its table of Moran's I values; nothing to draw.\n";
    return kPlotRefused;
  }
  const SpatialTest* test = run.complete.present ? &run.complete : nullptr;
  if (options.toroidal) {
    if (!run.toroidal.present) {
      err << "kalveno-plot: spatial analysis " << chosen << " of \"" << results << "\" has no toroidal test.\n";
      return kPlotRefused;
    }
    test = &run.toroidal;
  }

  out << "Spatial analysis " << chosen << " of " << n_runs;
  if (!run.data_file.empty()) out << " (data file " << run.data_file << ")";
  if (test)
    out << ", tested by " << test->randomization << " randomization (" << test->n_rep << " replicates)";
  else
    out << ", observed values without test";
  out << ":\n";
  return draw_run(run, test, options, out, err);
}

}  // namespace kalveno::plot
