#include "app/results_file.h"

#include <utility>

#include "base/console.h"
#include "base/interruption.h"
#include "base/program_end.h"
#include "base/text.h"
#include "randomization/replicate_runner.h"

namespace kalveno {

void write_output(Console& console, const OutputTarget& target, const std::function<void(OutputFile&)>& write) {
  while (true) {
    OutputFile file(target.path, target.mode);
    if (file.is_open()) {
      write(file);
      if (file.close()) return;
      console.warn(target.not_stored);
      end_program(kResultsUnwritable);
    }
    console.warn(target.cannot_open);
    wait_key_or_stop(console, target.stopped);
  }
}

namespace {

OutputTarget results_target(const std::string& path, OutputFile::Mode mode) {
  return OutputTarget{
      path, mode,
      format("\nWARNING: Cannot open results file \"%s\".\nIf it is being used by another application, close it "
             "first. Then press RETURN.\nPress ctrl+c if you wish to stop the program now.\n",
             path.c_str()),
      "Stopped: the results file cannot be opened, and without a terminal no key press can say when to try again.",
      format("\nWARNING: the results could not all be written to \"%s\" (is the disk full?).\n", path.c_str())};
}

}  // namespace

OutputTarget named_target(const std::string& path, const char* what, const char* contents) {
  return OutputTarget{
      path, OutputFile::kReplace,
      format("\nWARNING: Cannot open %s \"%s\".\nIf it is being used by another application, close it first. "
             "Then press RETURN.\n",
             what, path.c_str()),
      format("Stopped: %s cannot be opened, and without a terminal no key press can say when to try again.", what),
      format("\nWARNING: %s could not all be written to \"%s\" (is the disk full?).\n", contents, path.c_str())};
}

void OutputFiles::output(const OutputTarget& target, const Write& write) {
  if (writing_ == Writing::kAtOnce) return write_output(console_, target, write);
  if (writing_ == Writing::kNever) return;
  std::string text;
  OutputFile memory(text);
  write(memory);
  // A part that replaces its file drops what was held for that file before it.
  if (target.mode == OutputFile::kReplace)
    std::erase_if(held_, [&](const Held& held) { return held.target.path == target.path; });
  for (Held& held : held_) {
    if (held.target.path == target.path) {
      held.text += text;
      return;
    }
  }
  held_.push_back(Held{target, std::move(text)});
}

void OutputFiles::write_held() {
  for (const Held& held : held_)
    write_output(console_, held.target, [&](OutputFile& out) { out.write(held.text); });
  held_.clear();
}

void OutputFiles::append_results(const std::string& path, const Write& write) {
  output(results_target(path, OutputFile::kAppend), write);
}

void OutputFiles::replace_results(const std::string& path, const Write& write) {
  output(results_target(path, OutputFile::kReplace), write);
}

void OutputFiles::replace(const OutputFileKind& kind, const std::string& path, const Write& write) {
  output(kind.target_of ? kind.target_of(path) : named_target(path, kind.what, kind.contents), write);
}

void run_interruptible(Console& console, OutputFiles& files, const std::string& path, int total,
                       const std::string& counted, const std::function<void()>& work) {
  int done = total;
  try {
    CatchInterruption catching;
    work();
    // Ctrl+C after the last replicate, while they were summarised.
    if (!interruption_requested()) return;
  } catch (const ReplicatesInterrupted& interrupted) {
    done = interrupted.done;
  }
  // Ctrl+C keeps the line it always had; the other signals are named.
  const int signal = interruption_signal();
  const std::string named = signal == SIGINT ? "" : format(" (%s)", signal_name(signal));
  const std::string line = format("\nInterrupted: the run was stopped after %i of %i %s%s; no results of this test "
                                  "were written.\n",
                                  done, total, counted.c_str(), named.c_str());
  console.warn(line);
  files.append_results(path, [&](OutputFile& out) { out.write(line); });
  end_program(kStoppedBySignal + signal);
}

std::string randomizations_counted(Randomization randomization) {
  return randomization == Randomization::kComplete ? "complete randomizations" : "toroidal randomizations";
}

}  // namespace kalveno
