// The cells of kalveno's files read back as the program prints them, so that
// a cell that is text, or a number cut short (a file cut inside a row), is
// told from a number: "%f" writes six decimals, "%.4g" its shortest form, "%i"
// digits alone. Not-a-number ("nan", "-nan": a class without pairs, a
// constant variable) and infinity are taken only where the program can write
// them.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalveno::plot {

enum class Printed { kFixed, kShortest, kWhole };  // "%f", "%.4g", "%i"

// Whether cell is a number printed as how says; "nan" and "-nan" (and, for
// "%.4g", "inf" and "-inf") only when not_a_number_allowed.
bool is_printed_number(std::string_view cell, Printed how, bool not_a_number_allowed);

// The cells of a row of a table: `labels` cells of text (a name, a label),
// then `numbers` cells printed as `printed` (coded: each followed by a
// significance code, " *" to " ***", or none), then, with slopes, an empty
// cell and the two slopes, printed "%.4g" and coded alike.
struct RowLayout {
  std::size_t labels;
  Printed printed;
  bool not_a_number_allowed;
  bool coded;
  bool slopes;
};

// What is wrong with row, a row of that layout with n_numbers numbers, or
// nothing: "has 5 cells, not 8", "cell 4, \"abc\", is no number as the
// program writes it".
std::string row_problem(const std::vector<std::string_view>& row, std::size_t n_numbers, const RowLayout& layout);
// "cell N, \"TEXT\", is no number as the program writes it" (index 0-based).
std::string cell_problem(std::size_t index, std::string_view cell);

}  // namespace kalveno::plot
