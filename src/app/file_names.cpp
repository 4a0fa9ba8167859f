#include "app/file_names.h"

#include "app/command_line.h"
#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "base/results_headings.h"
#include "base/text.h"

namespace kalveno {

namespace {

const char kDefaultDataFile[] = "in.txt";
const char kDefaultResultsFile[] = "out.txt";
const char kNoMoreAnswers[] = "Stopped: the answers ended before the file names were settled.";

// An answer's first word, or the default (printed after the prompt) for an
// empty or blank answer.
std::string name_or_default(Console& console, const char* default_name) {
  std::string answer = console.read_line();
  if (is_blank(answer)) {
    console.print("%s", default_name);
    return default_name;
  }
  return std::string(first_word(answer));
}

std::string ask_data_file_name(Console& console) {
  console.print("\n\nEnter the name of the data file (with ext)\n  or press RETURN for the default data file "
                "\"in.txt\"\n\n  Data file: ");
  return name_or_default(console, kDefaultDataFile);
}

std::string ask_results_file_name(Console& console) {
  console.print("\n\n\nEnter the name of the results file (with ext)\n  or press RETURN for the default results "
                "file \"out.txt\"\n\n  Results file: ");
  return name_or_default(console, kDefaultResultsFile);
}

// A data file given by its path: the folder becomes the working directory.
// Both / and \ separate folders; the last of either splits the path.
void enter_folder_of(Console& console, std::string& path) {
  std::size_t cut = path.find_last_of("/\\");
  if (cut == std::string::npos) return;
  // A path like /x.txt lies in the root folder.
  std::string folder = path.substr(0, cut == 0 && path[0] == '/' ? 1 : cut);
  if (!folder.empty() && !change_directory(folder)) {
    console.warn(format("\n\nWARNING: Cannot change to the folder \"%s\"", folder.c_str()));
    return;  // keep the whole path, so that the check below names it
  }
  path = path.substr(cut + 1);
}

void check_data_file(Console& console, std::string& name) {
  while (!can_open_for_reading(name)) {
    console.warn(format("\n\nWARNING: Cannot open data file \"%s\"\n  If it is being used by another application, "
                        "close it first, then press Return\n  Otherwise enter a new name for the data file\n  Press "
                        "ctrl+c twice if you wish to stop the program now\n",
                        name.c_str()));
    std::string answer = console.read_line();
    if (console.input_ended()) stop_without_answer(console, kNoMoreAnswers);
    if (!is_blank(answer)) name = std::string(first_word(answer));
  }
}

// Results are only ever appended, but appended to the data file they would
// change the user's data: that name is refused.
// Nothing is written here: an answer 'e' only marks the file to be emptied
// when the run writes its first section, so that a run refused before then
// leaves the file as it was, and a file that does not exist is not made.
void check_results_file(Console& console, std::string& name, bool& replace, const std::string& data_file,
                        bool ask_if_exists) {
  while (true) {
    if (same_file(name, data_file)) {
      console.warn(format("\n\n\nWARNING: The results file \"%s\" is the data file itself.\n  Enter a new name for the "
                          "results file\n",
                          name.c_str()));
      std::string answer = console.read_line();
      if (console.input_ended()) stop_without_answer(console, kNoMoreAnswers);
      if (!is_blank(answer)) name = std::string(first_word(answer));
      continue;
    }
    if (ask_if_exists && can_open_for_reading(name)) {
      console.warn(format("\n\n\nWARNING: The results file \"%s\" already exists.\n  Enter 'a' or press Return to add "
                          "the new results to the end of the file\n  Enter 'e' to erase the present content of the "
                          "file\n  Otherwise, enter a new name for the results file\n",
                          name.c_str()));
      std::string word(first_word(console.read_line()));
      replace = word == "e" || word == "E";
      if (!replace && !word.empty() && word != "a" && word != "A") {
        name = word;
        continue;
      }
    }
    while (true) {
      if (!why_cannot_write(name, replace ? OutputFile::kReplace : OutputFile::kAppend)) return;
      console.warn(format("\nWARNING: Cannot open results file \"%s\".\nIf it is being used by another application, "
                          "close it first. Then press Return.\n  Otherwise, enter a new name for the results file\n",
                          name.c_str()));
      std::string answer = console.read_line();
      if (console.input_ended()) stop_without_answer(console, kNoMoreAnswers);
      if (!is_blank(answer)) {
        name = std::string(first_word(answer));
        break;
      }
    }
  }
}

}  // namespace

FileNames read_file_names(Console& console, const std::vector<std::string>& args, ExistingResults existing) {
  console.print("\n%s\n", headings::run_banner().c_str());
  FileNames names;
  console.print("\n\n\n\nDATA / RESULTS FILE NAMES");
  if (args.empty()) {
    names.data_file = ask_data_file_name(console);
    names.results_file = ask_results_file_name(console);
  } else if (args.size() == 1) {
    names.data_file = args[0];
    enter_folder_of(console, names.data_file);
    console.print("\n\n  Data file: %s", names.data_file.c_str());
    names.results_file = ask_results_file_name(console);
  } else {
    names.data_file = args[0];
    names.results_file = args[1];
    console.print("\n\n  Data file: %s\n  Results file: %s", names.data_file.c_str(), names.results_file.c_str());
  }
  check_data_file(console, names.data_file);
  check_results_file(console, names.results_file, names.replace_results, names.data_file,
                     existing == ExistingResults::kAsk);
  return names;
}

FileNames given_file_names(Console& console, const std::string& data_file, const std::string& results_file) {
  console.print("\n%s\n", headings::run_banner().c_str());
  console.print("\n\n\n\nDATA / RESULTS FILE NAMES");
  console.print("\n\n  Data file: %s\n  Results file: %s", data_file.c_str(), results_file.c_str());
  if (!can_open_for_reading(data_file))
    refuse_data_file(console, format("\n\nWARNING: Cannot open data file \"%s\".\n", data_file.c_str()));
  if (same_file(results_file, data_file))
    refuse_command_line(console, "the results file '" + results_file + "' is the data file itself");
  return FileNames{data_file, results_file};
}

}  // namespace kalveno
