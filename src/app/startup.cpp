#include "app/startup.h"

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <new>
#include <optional>

#include "app/analyses.h"
#include "app/command_line.h"
#include "app/file_names.h"
#include "app/menu.h"
#include "app/results_file.h"
#include "app/run_digests.h"
#include "app/session.h"
#include "app/usage.h"
#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "base/progress.h"
#include "base/results_headings.h"
#include "base/text.h"
#include "data/data_file.h"
#include "data/data_lookups.h"
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

// The file of --table: the statistics of the run, one row each.
const OutputFileKind kTableFile{&kTableOption, nullptr, "the table file", "the table", "the table"};

// Refuses an output file that is the data or the results file of the run
// (replaced whole, it would erase it) or that cannot be written; named
// names it in the message. Whether it can be written matters only to a
// process that writes files.
void check_output_file(Console& console, const FileNames& names, bool writes, const std::string& path,
                       const std::string& named) {
  if (same_path(path, names.data_file)) refuse_command_line(console, named + ": that is the data file of this run");
  if (same_path(path, names.results_file))
    refuse_command_line(console, named + ": that is the results file of this run");
  if (const std::optional<std::string> problem = writes ? why_cannot_write(path, OutputFile::kReplace) : std::nullopt)
    refuse_output_file(console, "cannot write " + named + ": " + *problem);
}

// The files the run writes, checked before anything is written, so that a
// run that could not keep its output is refused at its start (status 6),
// not after the work: the results file, the table, and the files of the
// analysis chosen or named by their options, which may not be the table
// either. The results file of a dialogue run is settled by its dialogue,
// and the default file of an analysis there by the analysis itself.
void check_output_files(Console& console, const CommandLine& line, const FileNames& names, bool writes) {
  if (line.analysis != nullptr && writes) {
    if (const std::optional<std::string> problem = why_cannot_write(names.results_file, OutputFile::kAppend))
      refuse_output_file(console, "cannot write the results file '" + names.results_file + "': " + *problem);
  }
  const std::optional<std::string> table = line.value_of(kTableOption);
  if (table) check_output_file(console, names, writes, *table, "--table=" + *table);
  for (const Analysis& analysis : analyses()) {
    for (const OutputFileKind* kind : analysis.files) {
      if (!line.has(*kind->option) && line.analysis != &analysis) continue;
      const std::string file = output_path(line, *kind);
      const std::string option = kind->option->long_form();
      if (table && same_path(file, *table))
        refuse_command_line(console, option + "=" + file + ": that is the table file of this run");
      check_output_file(console, names, writes, file,
                        line.has(*kind->option) ? option + "=" + file : std::string(kind->what) + " '" + file + "'");
    }
  }
}

// " km (great-circle)" after a distance range measured on the sphere.
const char* distance_unit(const DataSet& data) {
  return data.distance_kind == DistanceKind::kGreatCircle ? " km (great-circle)" : "";
}

void write_results_header(OutputFile& results, const Session& session, double smallest, double largest) {
  const DataSet& data = session.data;
  results.print("\n%s\n", headings::run_banner().c_str());
  results.print("\n%s%s\nOutput file: %s\nFirst line of data file: %s", headings::kDataFile,
                session.data_file_name.c_str(), session.results_file_name.c_str(), data.title_line.c_str());
  results.print("\n%s%i\n# grids: %i\n%s%i\nMissing data represented by: %s\n", headings::kSampleCount,
                data.n_samples, data.n_grids, headings::kVariableCount, data.n_variables, data.missing_code.c_str());
  results.print("\nMinimal and maximal distance between samples: %f - %f%s", smallest, largest, distance_unit(data));
}

// The seed of the run, then the file names, settled and checked with the
// other output files: nothing is written yet.
void settle_file_names(Session& session) {
  Console& console = session.console;
  const CommandLine& line = session.command_line;
  // Every process draws from the first one's seed: a clock seed differs
  // between processes, and KALVENO_SEED may not reach every machine.
  session.seed = session.group.first_process_seed(run_seed(console, session.settings, session.clock_seed_untold));
  session.rng.random_state = -session.seed;
  const FileNames names = line.analysis == nullptr
                              ? read_file_names(console, line.files, line.existing_results())
                              : given_file_names(console, line.files[0], line.files[1]);
  session.data_file_name = names.data_file;
  session.results_file_name = names.results_file;
  session.replace_results = names.replace_results || line.existing_results() == ExistingResults::kReplace;
  check_output_files(console, line, names, session.files.writes());
}

// Whether an option given replaces the distance classes of the data file.
bool classes_replaced(const CommandLine& line) {
  for (const GivenOption& option : line.given)
    if (option.spec->replaces_file_classes) return true;
  return false;
}

// The data file, read into the data set (refused: status 2).
void read_data(Session& session) {
  Console& console = session.console;
  DataSet& data = session.data;
  const Allocator& allocator = session.allocator;
  data.distance_kind =
      session.command_line.has(kGreatCircleOption) ? DistanceKind::kGreatCircle : DistanceKind::kPlanar;
  try {
    const DataFile file(read_data_file(console, session.data_file_name));
    auto warn = [&](const std::string& warning) { console.warn(warning); };
    // Classes chosen by option leave the bounds of line 3 unused.
    file.read_header(allocator, data, warn, !classes_replaced(session.command_line));
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
}

// The cells of the sampling grids, when the data declare any.
void build_grids(Session& session) {
  Console& console = session.console;
  const DataSet& data = session.data;
  if (data.n_grids == 0) return;
  bool warned = false;
  session.grid = noting_allocation_failure(
      format("\nNote: grids of up to %i columns (grid X) and %i rows (grid Y) need more memory than this machine "
             "has; check the grid positions of the data file, which count cells from 1.",
             data.max_grid_x, data.max_grid_y),
      [&] {
        return build_sample_grids(session.allocator, data.n_samples, data.n_grids, data.sample_grid, data.max_grid_x,
                                  data.max_grid_y, [&](const std::string& warning) {
                                    console.warn(warning);
                                    warned = true;
                                  });
      });
  if (warned) console.wait_key("go on");
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

// A normal end: the table when one is asked for, what was held for the end
// of a run over several processes once all of them have done their part,
// then one line that says where everything went.
void finish_run(Session& session) {
  Console& console = session.console;
  const std::optional<std::string> table = session.command_line.value_of(kTableOption);
  if (table)
    session.files.replace(kTableFile, *table, [&](OutputFile& out) { write_statistics_table(out, session.table_rows); });
  session.group.check();
  session.files.write_held();
  console.print("\nNote: the results were written to \"%s\"", session.results_file_name.c_str());
  if (table) console.print(", %s to \"%s\"", kTableFile.finished_as, table->c_str());
  for (const WrittenFile& written : session.written)
    console.print(", %s to \"%s\"", written.kind->finished_as, written.path.c_str());
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

// The options win over the environment.
RunSettings settings_of(const CommandLine& line, const RunSettings& environment) {
  RunSettings settings = environment;
  if (const std::optional<std::string> seed = line.value_of(kSeedOption)) settings.seed = seed;
  if (const std::optional<std::string> threads = line.value_of(kThreadsOption)) settings.threads = threads;
  return settings;
}

// The command line read and checked: a refusal ends the run (status 6),
// before anything is written. Only the first process of a run spread over
// several could be answered, and the others must know every choice from
// the start: such a run asks no questions.
CommandLine read_command_line(Console& console, const std::vector<std::string>& args, const ProcessGroup& group) {
  CommandLine line;
  if (const std::optional<std::string> problem = parse_command_line(args, line)) refuse_command_line(console, *problem);
  if (group.size() > 1 && line.analysis == nullptr && !line.has(kHelpOption) && !line.has(kVersionOption))
    refuse_command_line(console, format("a run over %d processes asks no questions: choose the analysis with %s",
                                        group.size(),
                                        options_of_analyses([](const Analysis&) { return true; }).c_str()));
  return line;
}

// Choices made by options leave nothing to ask and no key to wait for,
// and a script that throws the console away still sees every warning.
void set_up_console(Console& console, const CommandLine& line, const RunSettings& settings) {
  if (line.analysis != nullptr) {
    console.close_input();
    console.copy_warnings_to_errors(!settings.errors_show_on_the_console);
  }
  console.set_progress_marks(!line.has(kQuietOption));
  console.set_terminals(settings.errors_on_a_terminal, settings.errors_show_on_the_console);
}

// The run from the data to its last line: the analysis the options chose,
// its choices checked against the data before the results file is touched
// (a refusal writes nothing), or the one the menu offers.
void run_analysis(Session& session) {
  const CommandLine& line = session.command_line;
  const bool empty_first = session.replace_results;
  if (line.analysis == nullptr) {
    write_start_of_results(session, empty_first);
    run_analysis_menu(session);
  } else {
    const ChosenRun run = line.analysis->from_options(session);
    write_start_of_results(session, empty_first);
    run(session);
  }
  finish_run(session);
}

// A run stopped by a signal during its randomizations keeps what it wrote
// and its line saying so. The first of several processes, which holds them
// until the end, writes them now, when its own test was stopped (every
// process's, then): all it holds is complete. Not when the run ended
// because another process did, which leaves it without that line.
void keep_what_a_stop_left(Session& session, int status) {
  const bool stopped_by_signal = status == kStoppedBySignal + SIGINT || status == kStoppedBySignal + SIGTERM ||
                                 status == kStoppedBySignal + SIGHUP;
  if (stopped_by_signal && !session.group.ended_by_another()) session.files.write_held();
}

// A whole run, from the command line to its last line.
void run_from_command_line(Console& console, const std::vector<std::string>& args, const RunSettings& environment,
                           ProcessGroup& group) {
  CommandLine line = read_command_line(console, args, group);
  // Processes given other options, or another build, stop before anything
  // else is exchanged: they could choose other analyses, or exchange more.
  group.check_alike(ProcessGroup::Alike::kOptions, options_digest(line));
  if (line.has(kHelpOption) || line.has(kVersionOption)) {
    line.has(kHelpOption) ? print_usage(console) : print_version(console);
    return;
  }
  const RunSettings settings = settings_of(line, environment);
  set_up_console(console, line, environment);
  Session session(console, settings, group);
  session.tabulate = line.has(kTableOption) && session.files.writes();
  session.command_line = std::move(line);
  settle_file_names(session);
  read_data(session);
  group.check_alike(ProcessGroup::Alike::kData, data_digest(session.data));
  build_grids(session);
  group.check();
  try {
    run_analysis(session);
  } catch (const ProgramEnd& end) {
    keep_what_a_stop_left(session, end.status);
    throw;
  }
}

}  // namespace

int run_kalveno(Console& console, const std::vector<std::string>& args, const RunSettings& settings) {
  ProcessGroup one_process;
  return run_kalveno(console, args, settings, one_process);
}

int run_kalveno(Console& console, const std::vector<std::string>& args, const RunSettings& settings,
                ProcessGroup& group) {
  const int status =
      status_of_run(console, group.is_first(), [&] { run_from_command_line(console, args, settings, group); });
  console.flush();
  return group.end(status);
}

int status_of_run(Console& console, bool writes_files, const std::function<void()>& run) {
  try {
    run();
    return kFinished;
  } catch (const ProgramEnd& end) {
    return end.status;
  } catch (const AllocationFailure& failure) {
    return log_allocation_failure(console, failure, writes_files);
  } catch (const std::bad_alloc&) {
    return log_allocation_failure(console, operator_new_failure(), writes_files);
  }
}

}  // namespace kalveno
