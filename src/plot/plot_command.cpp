#include "plot/plot_command.h"

#include <charconv>
#include <filesystem>
#include <new>
#include <optional>
#include <ostream>
#include <system_error>

#include "base/allocation.h"
#include "base/files.h"
#include "base/option_scanner.h"
#include "base/text.h"
#include "base/version.h"
#include "plot/correlogram.h"
#include "plot/local_results.h"
#include "plot/plot_files.h"
#include "plot/spatial_results.h"
#include "plot/svg_correlogram.h"
#include "plot/svg_map.h"

namespace kalveno::plot {

namespace {

namespace fs = std::filesystem;

const char kUsage[] =
    "Usage: kalveno-plot [OPTION]... RESULTS_FILE [FOLDER]\n"
    "\n"
    "Draws the spatial autocorrelation analysis of a KALVENO results file: one SVG\n"
    "correlogram per variable (Moran's I - E(I) of each distance class against\n"
    "the mean distance of the class), written into FOLDER (default: the current folder) as\n"
    "correlogram_<number>_<variable>.svg: <number> is the variable's place in the\n"
    "analysis, zero-padded to one width (01 to 12), <variable> its first 60\n"
    "characters with each but letters, digits, '.', '-' and '_' made '_'. Points\n"
    "are marked by their significance code; a detailed test adds the band between\n"
    "the 95% bounds of the randomized values. After a correction across the\n"
    "classes (kalveno --adjust), a filled point carries its corrected code and a\n"
    "point significant before it only is a hollow ring with its code before\n"
    "correction. A qualitative variable's correlogram shows the expectation of\n"
    "its score, -1/(N-1), as a dotted line. The results file is only read.\n"
    "\n"
    "With --maps, draws the local Moran's I analysis instead: one SVG map per\n"
    "variable, map_<number>_<variable>.svg, with every sample at its position,\n"
    "coloured by its quadrant (high-high, low-low, high-low, low-high), filled\n"
    "when its adjusted P is at most 0.05 and hollow when not, a cross when it has\n"
    "no neighbours, and a scale bar as long as the radius. The values come from\n"
    "the file that the results file names, looked for beside the results file,\n"
    "then from the current folder.\n"
    "\n"
    "Options:\n"
    "  --run N       draw the N-th spatial (or local Moran's I) analysis of the\n"
    "                file (default: the last)\n"
    "  --toroidal    mark the points by the toroidal test instead of the complete one\n"
    "  --units TEXT  distance units for the axis label, e.g. --units m\n"
    "  --maps        draw the maps of a local Moran's I analysis\n"
    "  --local-file FILE  the file of local Moran's I per sample to map\n"
    "  --help        print this text\n"
    "  --version     print the version\n"
    "\n"
    "Exit status: 0 the figures were written; 1 memory could not be had; 2 bad\n"
    "arguments, or no analysis to draw in the results file (or values that do not\n"
    "match it), or a file cut short or edited (the message names the line;\n"
    "nothing is drawn); 5 a figure could not be written.\n";

struct PlotOptions {
  bool help = false, version = false, toroidal = false, maps = false;
  int run = 0;  // 1-based; 0 for the last
  std::string units;
  std::string local_file;  // empty: the one the results file names
  std::vector<std::string> files;  // the results file, then the folder
};

const OptionName kHelpOption{"help"}, kVersionOption{"version"}, kRunOption{"run", 0, true},
    kToroidalOption{"toroidal"}, kUnitsOption{"units", 0, true}, kMapsOption{"maps"},
    kLocalFileOption{"local-file", 0, true};
const OptionName* const kOptions[] = {&kRunOption,  &kToroidalOption, &kUnitsOption,  &kMapsOption,
                                      &kLocalFileOption, &kHelpOption, &kVersionOption};

// Keeps one option in options, or says what is wrong with its value.
std::optional<std::string> take_option(const OptionName& name, const std::string& spelled, const std::string& value,
                                       PlotOptions& options) {
  if (&name == &kHelpOption) options.help = true;
  if (&name == &kVersionOption) options.version = true;
  if (&name == &kToroidalOption) options.toroidal = true;
  if (&name == &kMapsOption) options.maps = true;
  if (&name == &kUnitsOption) options.units = value;
  if (&name == &kLocalFileOption) options.local_file = value;
  if (&name == &kRunOption) {
    auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), options.run);
    if (error != std::errc() || end != value.data() + value.size() || options.run < 1)
      return invalid_value(spelled, value, "a whole number from 1 up is expected");
  }
  return std::nullopt;
}

// What the options cannot do together, once each was taken.
std::optional<std::string> check_combinations(const PlotOptions& options) {
  if (options.help || options.version) return std::nullopt;
  if (options.files.empty()) return "no results file given";
  if (options.files.size() > 2) return "too many file names";
  if (options.maps && options.toroidal) return "--toroidal marks correlograms; a map shows the conditional test";
  if (!options.maps && !options.local_file.empty()) return "--local-file needs --maps";
  return std::nullopt;
}

// Reads the arguments into options, or says what is wrong with them. "--"
// ends the options, so that a file named like one can be given.
std::optional<std::string> parse_options(const std::vector<std::string>& args, PlotOptions& options) {
  const std::optional<std::string> problem =
      scan_options(kOptions, args, options.files, [&](std::size_t index, const std::string& spelled,
                                                     const std::string& value) {
        return take_option(*kOptions[index], spelled, value, options);
      });
  return problem ? problem : check_combinations(options);
}

// The analysis that --run chose (1-based) among the n_runs of the kind
// named in the results file, or 0 after saying on err why there is none to
// draw; how_made says how kalveno writes one.
int chosen_run(int n_runs, const PlotOptions& options, const std::string& kind, const std::string& how_made,
               std::ostream& err) {
  const std::string& results = options.files[0];
  if (n_runs == 0) {
    err << "kalveno-plot: \"" << results << "\" holds no " << kind << " analysis, so there is nothing to draw.\n"
        << "  (kalveno writes one " << how_made << ".)\n";
    return 0;
  }
  const int chosen = options.run == 0 ? n_runs : options.run;
  if (chosen <= n_runs) return chosen;
  err << "kalveno-plot: \"" << results << "\" holds " << n_runs << " " << kind << " "
      << (n_runs == 1 ? "analysis" : "analyses") << "; there is no number " << chosen << ".\n";
  return 0;
}

// The folder the figures go into, made when it does not exist.
bool make_folder(const fs::path& folder, std::ostream& err) {
  std::error_code error;
  fs::create_directories(folder, error);
  if (fs::is_directory(folder, error)) return true;
  err << "kalveno-plot: cannot make the folder \"" << folder.string() << "\"\n";
  return false;
}

// Writes one figure unless it would replace the results file; a line on out
// names it.
int write_figure(const fs::path& path, const std::string& svg, const std::string& results, const std::string& about,
                 std::ostream& out, std::ostream& err) {
  if (same_file(path.string(), results)) {
    err << "kalveno-plot: " << path.string() << " is the results file itself; it is left as it is\n";
    return kPlotUnwritable;
  }
  if (!write_file_whole(path, svg)) {
    err << "kalveno-plot: cannot write " << path.string() << "\n";
    return kPlotUnwritable;
  }
  out << "  " << path.string() << "  (" << about << ")\n";
  return kPlotsWritten;
}

// Writes the correlograms of run into folder, one line each on out.
int draw_run(const SpatialRun& run, const SpatialTest* test, const PlotOptions& options, std::ostream& out,
             std::ostream& err) {
  const fs::path folder = options.files.size() > 1 ? fs::path(options.files[1]) : fs::path(".");
  if (!make_folder(folder, err)) return kPlotUnwritable;
  int status = kPlotsWritten;
  const int count = static_cast<int>(run.variables.size());
  for (int v = 0; v < count; ++v) {
    const Correlogram figure = make_correlogram(run, v, test);
    std::string about = std::to_string(figure.points.size()) + " points";
    if (!figure.bands.empty())
      about += ", " + std::to_string(figure.bands.size()) + (figure.bands.size() == 1 ? " band" : " bands");
    status = std::max(status, write_figure(folder / figure_file_name("correlogram", v + 1, count, figure.variable),
                                           correlogram_svg(figure, options.units), options.files[0], about, out, err));
  }
  return status;
}

// The file of values of run: given by option, else the one the section
// names, beside the results file or else from the current folder.
std::string values_file_of(const LocalRun& run, const PlotOptions& options) {
  if (!options.local_file.empty()) return options.local_file;
  const fs::path named(run.values_file);
  if (named.is_relative()) {
    const fs::path beside = fs::path(options.files[0]).parent_path() / named;
    std::error_code error;
    if (fs::is_regular_file(beside, error)) return beside.string();
  }
  return run.values_file;
}

// The maps of the chosen local Moran's I analysis of text.
int draw_maps(const std::string& text, const PlotOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& results = options.files[0];
  const std::vector<LocalRun> runs = read_local_runs(text);
  const int n_runs = static_cast<int>(runs.size());
  const int chosen = chosen_run(n_runs, options, "local Moran's I", "when run with --local-moran", err);
  if (chosen == 0) return kPlotRefused;
  const LocalRun& run = runs[chosen - 1];
  const std::string values_path = values_file_of(run, options);
  std::string values_text;
  if (!read_text_file(values_path, values_text, Readable::kAnyButFolder)) {
    err << "kalveno-plot: cannot read the file of local Moran's I \"" << values_path << "\" that analysis "
        << chosen << " names; give it with --local-file.\n";
    return kPlotRefused;
  }
  LocalValues values;
  if (const std::string problem = read_local_values(values_text, values); !problem.empty()) {
    err << "kalveno-plot: \"" << values_path << "\" is no file of local Moran's I: " << problem << ".\n";
    return kPlotRefused;
  }
  if (const std::string problem = local_run_problem(run, values); !problem.empty()) {
    err << "kalveno-plot: local Moran's I analysis " << chosen << " of \"" << results << "\" and \"" << values_path
        << "\" do not agree: " << problem << "; nothing is drawn.\n";
    return kPlotRefused;
  }
  // The file is replaced at every run: it must be the one of this analysis.
  if (values.settings != run.settings || values.variables != run.variables) {
    err << "kalveno-plot: \"" << values_path << "\" holds the values of another run than local Moran's I analysis "
        << chosen << " of \"" << results << "\":\n  the analysis: " << run.settings << "\n  the file:     "
        << values.settings << "\n";
    return kPlotRefused;
  }

  out << "Local Moran's I analysis " << chosen << " of " << n_runs;
  if (!run.data_file.empty()) out << " (data file " << run.data_file << ")";
  out << ", values from " << values_path << ":\n";
  const fs::path folder = options.files.size() > 1 ? fs::path(options.files[1]) : fs::path(".");
  if (!make_folder(folder, err)) return kPlotUnwritable;
  int status = kPlotsWritten;
  const int count = static_cast<int>(values.variables.size());
  for (int v = 0; v < count; ++v) {
    const LocalMap map = make_local_map(run, values, v);
    int significant = 0;
    for (const MapPoint& p : map.points) significant += p.significant;
    const std::string about = std::to_string(map.points.size()) + " samples, " + std::to_string(significant) +
                              " significant";
    status = std::max(status, write_figure(folder / figure_file_name("map", v + 1, count, map.variable),
                                           local_map_svg(map, options.units), results, about, out, err));
  }
  return status;
}

// The correlograms of the chosen spatial analysis of text.
int draw_correlograms(const std::string& text, const PlotOptions& options, std::ostream& out, std::ostream& err) {
  const std::string& results = options.files[0];
  const std::vector<SpatialRun> runs = read_spatial_runs(text);
  const int n_runs = static_cast<int>(runs.size());
  const int chosen = chosen_run(n_runs, options, "spatial autocorrelation", "when its menu choice 1 is taken", err);
  if (chosen == 0) return kPlotRefused;
  const SpatialRun& run = runs[chosen - 1];
  if (run.variables.empty()) {
    err << "kalveno-plot: spatial analysis " << chosen << " of \"" << results
        << "\" is cut short before its table of Moran's I values; nothing to draw.\n";
    return kPlotRefused;
  }
  if (!run.problem.empty()) {
    err << "kalveno-plot: \"" << results << "\" " << run.problem << "; spatial analysis " << chosen
        << " is not drawn.\n";
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

// The whole program once its arguments are read.
int plot(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  PlotOptions options;
  if (const std::optional<std::string> problem = parse_options(args, options)) {
    err << "kalveno-plot: " << *problem << "\nTry 'kalveno-plot --help' for more information.\n";
    return kPlotRefused;
  }
  if (options.help) {
    out << kUsage;
    return kPlotsWritten;
  }
  if (options.version) {
    out << "kalveno-plot (" << program_version() << ")\n";
    return kPlotsWritten;
  }
  const std::string& results = options.files[0];
  std::string text;
  // Any file but a folder, so that a results file can also come through a pipe.
  if (!read_text_file(results, text, Readable::kAnyButFolder)) {
    err << "kalveno-plot: cannot read the results file \"" << results << "\"\n";
    return kPlotRefused;
  }
  return options.maps ? draw_maps(text, options, out, err) : draw_correlograms(text, options, out, err);
}

}  // namespace

int run_plot_command(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  try {
    return plot(args, out, err);
  } catch (const std::bad_alloc&) {
    err << "kalveno-plot: " << trim_blanks(operator_new_failure().message) << "\n";
    return kPlotOutOfMemory;
  }
}

}  // namespace kalveno::plot
