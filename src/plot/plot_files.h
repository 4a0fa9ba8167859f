// Where the figures go: a file name that is safe whatever the variable is
// called, and a write that never leaves a half-written file behind.
#pragma once
#include <filesystem>
#include <string>
#include <string_view>

namespace kalveno::plot {

// "<kind>_<number>_<name>.svg" ("correlogram_3_zinc.svg") for variable number
// (1-based) of count: the number, zero-padded to the width of count, keeps
// names apart; the name keeps only letters, digits, '.', '-' and '_' (others
// become '_') and at most 60 of them.
std::string figure_file_name(std::string_view kind, int number, int count, std::string_view variable);

// Writes content to path through a temporary file renamed into place (a
// symbolic link's target is replaced); false, and nothing at path changed,
// when that fails.
bool write_file_whole(const std::filesystem::path& path, const std::string& content);

}  // namespace kalveno::plot
