#include "support/run_program.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <csignal>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <sys/wait.h>
#include <unistd.h>

namespace kalveno::testing {

TempFolder::TempFolder() {
  std::string pattern = (std::filesystem::temp_directory_path() / "kalveno-test-XXXXXX").string();
  if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot make a temporary folder");
  path_ = pattern;
}

TempFolder::~TempFolder() {
  std::error_code ignored;
  std::filesystem::permissions(path_, std::filesystem::perms::owner_all, ignored);
  std::filesystem::remove_all(path_, ignored);
}

void TempFolder::write(const std::string& name, const std::string& content) const {
  std::ofstream out(file(name), std::ios::binary);
  out << content;
}

std::string TempFolder::read(const std::string& name) const {
  std::ifstream in(file(name), std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

bool TempFolder::exists(const std::string& name) const { return std::filesystem::exists(file(name)); }

std::set<std::string> TempFolder::names() const {
  std::set<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(path_)) names.insert(entry.path().filename().string());
  return names;
}

namespace {

// In the child: standard output a pipe whose reading end is closed already.
bool make_output_unread() {
  int ends[2];
  if (pipe(ends) != 0) return false;
  close(ends[0]);
  const bool moved = dup2(ends[1], STDOUT_FILENO) >= 0;
  close(ends[1]);
  return moved;
}

}  // namespace

ProgramRun run_program(const char* binary, const std::string& folder, const std::vector<std::string>& args,
                       const std::string& input, const std::map<std::string, std::string>& env,
                       const RunControl& control) {
  TempFolder pipes;
  const std::string input_path = pipes.file("input"), output_path = pipes.file("output"),
                    errors_path = pipes.file("errors");
  pipes.write("input", input);

  std::fflush(nullptr);  // nothing buffered may be written twice, by the child too
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    std::FILE* in = std::freopen(input_path.c_str(), "rb", stdin);
    std::FILE* out = std::freopen(output_path.c_str(), "wb", stdout);
    std::FILE* err = std::freopen(errors_path.c_str(), "wb", stderr);
    if (in == nullptr || out == nullptr || err == nullptr) _exit(126);
    if (control.output_unread && !make_output_unread()) _exit(126);
    for (const auto& [name, value] : env) setenv(name.c_str(), value.c_str(), 1);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(binary));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(binary, argv.data());
    _exit(127);
  }
  int wait_status = 0;
  bool ended = false;
  // With interrupt_at, the output is watched until the text shows.
  while (!control.interrupt_at.empty() && !(ended = waitpid(child, &wait_status, WNOHANG) == child)) {
    if (pipes.read("output").find(control.interrupt_at) != std::string::npos) {
      kill(child, control.stop_signal);
      break;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(5));
  }
  if (!ended) waitpid(child, &wait_status, 0);
  ProgramRun run;
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  run.output = pipes.read("output");
  run.errors = pipes.read("errors");
  return run;
}

ProgramRun run_kalveno(const std::string& folder, const std::vector<std::string>& args, const std::string& answers,
                       const std::map<std::string, std::string>& env, const RunControl& control) {
  std::map<std::string, std::string> settings = {{"KALVENO_SEED", "1"}, {"KALVENO_THREADS", "2"}};
  for (const auto& [name, value] : env) settings[name] = value;
  return run_program(KALVENO_BINARY, folder, args, answers, settings, control);
}

std::string source_file(const std::string& relative_path) {
  std::ifstream in(std::string(KALVENO_SOURCE_DIR) + "/" + relative_path, std::ios::binary);
  if (!in) throw std::runtime_error("missing source file " + relative_path);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

}  // namespace kalveno::testing
