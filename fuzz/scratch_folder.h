// The folder in which a fuzzing target runs the program: made once per
// process, emptied before each input, removed when the process ends.
#pragma once
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace kalveno::fuzzing {

inline const std::filesystem::path* scratch_folder = nullptr;

// Makes a new folder under the temporary folder and works in it.
inline void enter_scratch_folder(const char* prefix) {
  std::string folder = (std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX")).string();
  if (mkdtemp(folder.data()) == nullptr || chdir(folder.c_str()) != 0) std::abort();
  scratch_folder = new std::filesystem::path(folder);
  std::atexit([] {
    std::error_code ignored;
    std::filesystem::remove_all(*scratch_folder, ignored);
  });
}

// Removes whatever the last input left in the folder.
inline void empty_scratch_folder() {
  std::error_code ignored;
  for (const auto& entry : std::filesystem::directory_iterator(*scratch_folder))
    std::filesystem::remove_all(entry.path(), ignored);
}

}  // namespace kalveno::fuzzing
