#include "app/startup.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <optional>

#include "app/association_dialogue.h"
#include "app/command_line.h"
#include "app/file_names.h"
#include "app/local_means_dialogue.h"
#include "app/local_moran_run.h"
#include "app/menu.h"
#include "app/results_file.h"
#include "app/session.h"
#include "app/spatial_dialogue.h"
#include "app/usage.h"
#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "base/progress.h"
#include "base/results_headings.h"
#include "base/text.h"
#include "data/data_file.h"
#include "descriptive/basic_statistics.h"

namespace kalveno {

namespace {

// The text of the data file. While it cannot be read, warns and waits for a
// key before trying again (without a terminal: stops, status 4).
std::string read_data_file(Console& console, const std::string& name) {
  std::string text;
  while (!read_text_file(name, text)) {
    console.warn(format("\nWARNING: Cannot open data file %c%s%c.\nIf it is being used by another application, "
                        "close it first.\nIf it does not exist in the specified directory, bring it first.\n"
                        "Then press RETURN.\nPress Ctrl+c twice to stop the programm now.\n",
                        '"', name.c_str(), '"'));
    wait_key_or_stop(console, "Stopped: the data file cannot be opened, and without a terminal no key press "
                              "can say when to try again.");
  }
  return text;
}

// Whether two paths name the same file; one that does not exist yet (the
// results file, say) is compared by its name.
bool same_path(const std::string& a, const std::string& b) {
  std::error_code error_a, error_b;
  const std::filesystem::path path_a = std::filesystem::weakly_canonical(a, error_a);
  const std::filesystem::path path_b = std::filesystem::weakly_canonical(b, error_b);
  return same_file(a, b) || (!error_a && !error_b && path_a == path_b);
}

// The files the run writes, checked before anything is written: the table,
// the new-variables file and the file of local Moran's I replace theirs
// whole, so none may be the data or the results file (nor the table), and
// every one must be writable, so that a run
// that could not keep its output is refused at its start (status 6), not
// after the work. The results file of a dialogue run is settled by its
// dialogue, and newvar.txt there by the local means themselves. Whether they
// can be written matters only to a process that writes them.
void check_output_files(Console& console, const CommandLine& line, const FileNames& names, bool writes) {
  auto why_not = [&](const std::string& path, OutputFile::Mode mode = OutputFile::kReplace) {
    return writes ? why_cannot_write(path, mode) : std::nullopt;
  };
  auto check = [&](const std::string& path, const std::string& option, const std::string& what) {
    const std::string named = option.empty() ? what + " '" + path + "'" : option + "=" + path;
    if (same_path(path, names.data_file)) refuse_command_line(console, named + ": that is the data file of this run");
    if (same_path(path, names.results_file))
      refuse_command_line(console, named + ": that is the results file of this run");
    if (const std::optional<std::string> problem = why_not(path))
      refuse_output_file(console, "cannot write " + named + ": " + *problem);
  };
  if (line.analysis != ChosenAnalysis::kAsked) {
    if (const std::optional<std::string> problem = why_not(names.results_file, OutputFile::kAppend))
      refuse_output_file(console, "cannot write the results file '" + names.results_file + "': " + *problem);
  }
  if (line.table) check(*line.table, "--table", "");
  if (line.new_variables || line.analysis == ChosenAnalysis::kLocalMeans) {
    const std::string file = line.new_variables.value_or("newvar.txt");
    if (line.table && same_path(file, *line.table))
      refuse_command_line(console, "--new-variables=" + file + ": that is the table file of this run");
    check(file, line.new_variables ? "--new-variables" : "", "the new-variables file");
  }
  if (line.analysis == ChosenAnalysis::kLocalMoran) {
    const std::string file = line.local_file.value_or(kLocalMoranFile);
    if (line.table && same_path(file, *line.table))
      refuse_command_line(console, "--local-file=" + file + ": that is the table file of this run");
    check(file, line.local_file ? "--local-file" : "", "the file of local Moran's I");
  }
}

// " km (great-circle)" after a distance range measured on the sphere.
const char* distance_unit(const DataSet& data) {
  return data.distance_kind == DistanceKind::kGreatCircle ? " km (great-circle)" : "";
}

void write_results_header(OutputFile& results, const Session& session, double smallest, double largest) {
  const DataSet& data = session.data;
  results.print("\nKALVENO 1.0 - Written by Bremwick\n");
  results.print("\n%s%s\nOutput file: %s\nFirst line of data file: %s", headings::kDataFile,
                session.data_file_name.c_str(), session.results_file_name.c_str(), data.title_line.c_str());
  results.print("\n%s%i\n# grids: %i\n%s%i\nMissing data represented by: %s\n", headings::kSampleCount,
                data.n_samples, data.n_grids, headings::kVariableCount, data.n_variables, data.missing_code.c_str());
  results.print("\nMinimal and maximal distance between samples: %f - %f%s", smallest, largest, distance_unit(data));
}

// The file names, then the data: nothing is written to the results file yet.
void load_data(Session& session, const CommandLine& line) {
  Console& console = session.console;
  DataSet& data = session.data;
  const Allocator& allocator = session.allocator;
  // Every process draws from the first one's seed: a clock seed differs
  // between processes, and KALVENO_SEED may not reach every machine.
  session.seed = session.group.first_process_seed(run_seed(console, session.settings));
  session.rng.random_state = -session.seed;

  const FileNames names = line.analysis == ChosenAnalysis::kAsked
                              ? read_file_names(console, line.files, line.existing)
                              : given_file_names(console, line.files[0], line.files[1]);
  session.data_file_name = names.data_file;
  session.results_file_name = names.results_file;
  check_output_files(console, line, names, session.files.writes());

  data.distance_kind = line.great_circle ? DistanceKind::kGreatCircle : DistanceKind::kPlanar;
  session.class_rule = line.classes;
  session.class_rule_option = line.classes_option;
  try {
    const DataFile file(read_data_file(console, session.data_file_name));
    auto warn = [&](const std::string& warning) { console.warn(warning); };
    // Classes chosen by option leave the bounds of line 3 unused.
    file.read_header(allocator, data, warn, !line.classes);
    console.print("\n\n\n\nBASIC INFORMATION\n\n# samples = %i\n# grids=%i\n# variables=%i", data.n_samples,
                  data.n_grids, data.n_variables);
    console.print("\nMissing data represented by %s", data.missing_code.c_str());

    noting_allocation_failure(
        format("\nNote: %i samples of %i variables (second line of the data file) need more memory than this "
               "machine has; check these numbers, or analyse fewer samples or variables at a time.",
               data.n_samples, data.n_variables),
        [&] {
          allocate_sample_arrays(allocator, data);
          session.identity_permutation = identity_permutation(data.n_samples);
          session.work_permutation = identity_permutation(data.n_samples);
          file.read_samples(allocator, data, warn);
        });
  } catch (const DataFileRefused& refused) {
    refuse_data_file(console, refused.warning);
  }
  if (data.n_grids != 0) {
    bool warned = false;
    session.grid = noting_allocation_failure(
        format("\nNote: grids of up to %i columns (grid X) and %i rows (grid Y) need more memory than this machine "
               "has; check the grid positions of the data file, which count cells from 1.",
               data.max_grid_x, data.max_grid_y),
        [&] {
          return build_sample_grids(allocator, data.n_samples, data.n_grids, data.sample_grid, data.max_grid_x,
                                    data.max_grid_y, [&](const std::string& warning) {
                                      console.warn(warning);
                                      warned = true;
                                    });
        });
    if (warned) console.wait_key("go on");
  }
}

// The header block and the basic statistics, the first sections of the run
// in the results file (emptied first when asked for).
void write_start_of_results(Session& session, bool empty_first) {
  Console& console = session.console;
  const DataSet& data = session.data;
  {
    Progress progress(console);
    session.distance_range = distance_range(data, worker_count(session.settings), progress);
  }
  const double smallest = session.distance_range.smallest, largest = session.distance_range.largest;
  console.print("\nMin & max distances between samples: %.3g - %.3g%s", smallest, largest, distance_unit(data));
  if (data.distance_kind == DistanceKind::kPlanar && looks_like_degrees(data))
    console.warn(format("\nNote: the x and y columns (%s, %s) look like longitudes and latitudes in degrees, whose "
                        "distances are taken here as on a plane; --great-circle measures them on the Earth, in km.",
                        data.x_name.c_str(), data.y_name.c_str()));

  auto header = [&](OutputFile& results) { write_results_header(results, session, smallest, largest); };
  if (empty_first)
    session.files.replace_results(session.results_file_name, header);
  else
    session.files.append_results(session.results_file_name, header);
  session.files.append_results(session.results_file_name, [&](OutputFile& results) {
    write_basic_statistics(results, session.allocator, session.data);
  });
}

// The analysis the options chose, its choices checked against the data
// before the results file is touched; a refusal writes nothing.
void run_chosen_analysis(Session& session, const CommandLine& line) {
  SpatialChoices spatial;
  AssociationChoices association;
  std::optional<std::string> problem;
  if (line.analysis == ChosenAnalysis::kSpatial) problem = spatial_choices_of(line, session.data, spatial);
  if (line.analysis == ChosenAnalysis::kAssociation)
    problem = association_choices_of(line, session.data, association);
  if (problem) refuse_command_line(session.console, *problem);

  write_start_of_results(session, line.existing == ExistingResults::kReplace);
  switch (line.analysis) {
    case ChosenAnalysis::kSpatial: run_spatial_autocorrelation(session, spatial); break;
    case ChosenAnalysis::kAssociation:
      // The dialogue's count question says this; an option run asks nothing.
      if (session.data.n_grids < 1 && association.count.n_rep > 0)
        session.console.warn("\nWarning: no grid is defined for the sample positions, so only the complete "
                             "randomization test runs; between spatially autocorrelated variables it is liberal "
                             "(an excess of significant tests).\n");
      run_association(session, association);
      break;
    case ChosenAnalysis::kLocalMeans: run_local_means(session, line.radius); break;
    case ChosenAnalysis::kLocalMoran:
      run_local_moran(session, LocalMoranChoices{line.radius, line.count.n_rep,
                                                 line.local_file.value_or(kLocalMoranFile)});
      break;
    case ChosenAnalysis::kAsked: break;
  }
}

// A normal end: the table when one is asked for, what was held for the end
// of a run over several processes once all of them have done their part,
// then one line that says where everything went.
void finish_run(Session& session, const CommandLine& line) {
  Console& console = session.console;
  if (line.table)
    session.files.replace_table(*line.table, [&](OutputFile& out) { write_statistics_table(out, session.table_rows); });
  session.group.check();
  session.files.write_held();
  console.print("\nNote: the results were written to \"%s\"", session.results_file_name.c_str());
  if (line.table) console.print(", the table to \"%s\"", line.table->c_str());
  if (session.new_variables_written) console.print(", the local means to \"%s\"", session.new_variables_file.c_str());
  if (!session.local_moran_file.empty())
    console.print(", the local Moran's I per sample to \"%s\"", session.local_moran_file.c_str());
  console.print(".\n");
}

// Prints the failure's message and appends it to error.txt in the working
// directory: status 1. When that file cannot be written, says so and waits
// for a key: status 3. The note that explains the failure, when there is
// one, follows on the console only: error.txt keeps one line per failure.
// A process other than the first of a run writes no error.txt: it only
// prints them.
int log_allocation_failure(Console& console, const AllocationFailure& failure, bool writes_files) {
  const std::string& message = failure.message;
  console.warn(message);
  console.flush();
  if (!writes_files) {
    console.warn(failure.note);
    return kAllocationFailure;
  }
  std::FILE* log = std::fopen("error.txt", "a");
  if (log != nullptr) {
    std::fprintf(log, "%s", message.c_str());
    if (std::fclose(log) == 0) {
      console.warn(failure.note);
      return kAllocationFailure;
    }
  }
  console.warn(format("error in writing %s : cannot open file", message.c_str()));
  console.warn(failure.note);
  console.wait_key("end the run");
  return kErrorLogUnwritable;
}

}  // namespace

bool looks_like_degrees(const DataSet& data) {
  auto named = [](const std::string& header, std::initializer_list<const char*> names) {
    std::string lower = header;
    for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    return std::find(names.begin(), names.end(), lower) != names.end();
  };
  if (!named(data.x_name, {"lon", "long", "longitude"}) || !named(data.y_name, {"lat", "latitude"})) return false;
  if (data.n_samples < 1) return false;
  double x_low = data.x[1], x_high = data.x[1], y_low = data.y[1], y_high = data.y[1];
  for (int i = 1; i <= data.n_samples; ++i) {
    if (!(data.x[i] >= kLowestLongitude && data.x[i] <= kHighestLongitude)) return false;
    if (!(data.y[i] >= kLowestLatitude && data.y[i] <= kHighestLatitude)) return false;
    x_low = std::min(x_low, data.x[i]), x_high = std::max(x_high, data.x[i]);
    y_low = std::min(y_low, data.y[i]), y_high = std::max(y_high, data.y[i]);
  }
  return x_high - x_low < 360 && y_high - y_low < 180;
}

int run_kalveno(Console& console, const std::vector<std::string>& args, const RunSettings& settings) {
  ProcessGroup one_process;
  return run_kalveno(console, args, settings, one_process);
}

int run_kalveno(Console& console, const std::vector<std::string>& args, const RunSettings& settings,
                ProcessGroup& group) {
  int status = kFinished;
  try {
    CommandLine line;
    const std::optional<std::string> problem = parse_command_line(args, settings.randomization_ceiling, line);
    if (problem) refuse_command_line(console, *problem);
    if (line.help || line.version) {
      line.help ? print_usage(console) : print_version(console);
      return group.end(kFinished);
    }
    // Only the first process could be answered, and the others must know
    // every choice from the start.
    if (group.size() > 1 && line.analysis == ChosenAnalysis::kAsked)
      refuse_command_line(console, format("a run over %d processes asks no questions: choose the analysis with "
                                          "--spatial, --association, --local-means or --local-moran", group.size()));
    // The options win over the environment.
    RunSettings run_settings = settings;
    if (line.seed) run_settings.seed = line.seed;
    if (line.threads) run_settings.threads = line.threads;
    // Choices made by options leave nothing to ask and no key to wait for,
    // and a script that throws the console away still sees every warning.
    if (line.analysis != ChosenAnalysis::kAsked) {
      console.close_input();
      console.copy_warnings_to_errors(!settings.errors_show_on_the_console);
    }
    console.set_progress_marks(!line.quiet);
    console.set_terminals(settings.errors_on_a_terminal, settings.errors_show_on_the_console);

    Session session(console, run_settings, group);
    session.tabulate = line.table.has_value() && session.files.writes();
    if (line.new_variables) session.new_variables_file = *line.new_variables;
    load_data(session, line);
    group.check();
    if (line.analysis == ChosenAnalysis::kAsked) {
      write_start_of_results(session, line.existing == ExistingResults::kReplace);
      run_analysis_menu(session);
    } else {
      run_chosen_analysis(session, line);
    }
    finish_run(session, line);
  } catch (const ProgramEnd& end) {
    status = end.status;
  } catch (const AllocationFailure& failure) {
    status = log_allocation_failure(console, failure, group.is_first());
  }
  console.flush();
  return group.end(status);
}

}  // namespace kalveno
