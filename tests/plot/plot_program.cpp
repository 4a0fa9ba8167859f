#include "plot/plot_program.h"

#include <cstdio>
#include <cstdlib>
#include <stdexcept>
#include <sys/wait.h>
#include <unistd.h>

#include "support/run_program.h"

namespace kalveno::testing {

PlotRun run_kalveno_plot(const std::string& folder, const std::vector<std::string>& args) {
  TempFolder pipes;
  const std::string output_path = pipes.file("output"), errors_path = pipes.file("errors");
  pid_t child = fork();
  if (child < 0) throw std::runtime_error("fork failed");
  if (child == 0) {
    if (chdir(folder.c_str()) != 0) _exit(126);
    std::FILE* in = std::freopen("/dev/null", "rb", stdin);
    std::FILE* out = std::freopen(output_path.c_str(), "wb", stdout);
    std::FILE* err = std::freopen(errors_path.c_str(), "wb", stderr);
    if (in == nullptr || out == nullptr || err == nullptr) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(KALVENO_PLOT_BINARY));
    for (const std::string& arg : args) argv.push_back(const_cast<char*>(arg.c_str()));
    argv.push_back(nullptr);
    execv(KALVENO_PLOT_BINARY, argv.data());
    _exit(127);
  }
  int wait_status = 0;
  waitpid(child, &wait_status, 0);
  PlotRun run;
  run.status = WIFEXITED(wait_status) ? WEXITSTATUS(wait_status) : 128 + WTERMSIG(wait_status);
  run.output = pipes.read("output");
  run.errors = pipes.read("errors");
  return run;
}

bool have_xmllint() { return std::system("xmllint --version >/dev/null 2>&1") == 0; }

std::string xml_problems(const std::string& path) {
  TempFolder scratch;
  const std::string command = "xmllint --noout '" + path + "' 2>'" + scratch.file("report") + "'";
  if (std::system(command.c_str()) == 0) return "";
  std::string report = scratch.read("report");
  return report.empty() ? "xmllint failed" : report;
}

int count_of(const std::string& text, const std::string& needle) {
  int count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size()))
    ++count;
  return count;
}

}  // namespace kalveno::testing
