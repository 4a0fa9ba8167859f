// Test support: runs the real kalveno binary in a folder of its own, with
// answers piped on standard input, and reads back the files it wrote.
#pragma once
#include <csignal>
#include <map>
#include <set>
#include <string>
#include <vector>

namespace kalveno::testing {

// A fresh empty folder under the system's temporary folder, removed with
// everything in it when the object goes.
class TempFolder {
 public:
  TempFolder();
  ~TempFolder();
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::string& path() const { return path_; }
  std::string file(const std::string& name) const { return path_ + "/" + name; }
  void write(const std::string& name, const std::string& content) const;
  std::string read(const std::string& name) const;
  bool exists(const std::string& name) const;
  // The names of everything in the folder.
  std::set<std::string> names() const;

 private:
  std::string path_;
};

struct ProgramRun {
  int status = -1;     // exit status, or 128 + signal number
  std::string output;  // everything written to standard output
  std::string errors;  // everything written to standard error
};

// Runs binary in folder with args, input on standard input and the
// environment variables of env added. With interrupt_at, the run gets the
// signal stop_signal (SIGINT, as from Ctrl+C, unless told) once its standard
// output shows that text. With output_unread, standard output is a pipe that
// nobody reads, closed before the program starts: every write to it fails,
// or raises SIGPIPE; output then stays empty.
struct RunControl {
  std::string interrupt_at;
  int stop_signal = SIGINT;
  bool output_unread = false;
};
ProgramRun run_program(const char* binary, const std::string& folder, const std::vector<std::string>& args,
                       const std::string& input, const std::map<std::string, std::string>& env = {},
                       const RunControl& control = {});

// Runs kalveno in folder with args, answers on standard input (not a
// terminal), and extra environment variables. KALVENO_SEED is 1 unless env
// sets it, and KALVENO_THREADS 2, so that runs repeat exactly.
ProgramRun run_kalveno(const std::string& folder, const std::vector<std::string>& args, const std::string& answers,
                       const std::map<std::string, std::string>& env = {}, const RunControl& control = {});

// What the results file holds before a run whose tests check that nothing
// written earlier is lost.
inline constexpr char kEarlier[] = "earlier results\n";

// Reads a file of the source tree, e.g. "examples/meuse.txt".
std::string source_file(const std::string& relative_path);

}  // namespace kalveno::testing
