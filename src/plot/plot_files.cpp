#include "plot/plot_files.h"

#include "base/files.h"

namespace kalveno::plot {

namespace {

bool is_safe_file_char(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' ||
         c == '_';
}

}  // namespace

std::string figure_file_name(std::string_view kind, int number, int count, std::string_view variable) {
  std::string digits = std::to_string(number);
  const std::size_t width = std::to_string(count).size();
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  std::string name = std::string(kind) + "_" + digits + "_";
  for (std::size_t i = 0; i < variable.size() && i < 60; ++i) name += is_safe_file_char(variable[i]) ? variable[i] : '_';
  return name + ".svg";
}

bool write_file_whole(const std::filesystem::path& path, const std::string& content) {
  OutputFile file(path.string(), OutputFile::kReplace);
  if (!file.is_open()) return false;
  file.write(content);
  return file.close();
}

}  // namespace kalveno::plot
