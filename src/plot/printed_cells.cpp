#include "plot/printed_cells.h"

namespace kalveno::plot {

namespace {

bool is_digit(char c) { return c >= '0' && c <= '9'; }

// The digits at the start of text.
std::size_t digits_at_start(std::string_view text) {
  std::size_t n = 0;
  while (n < text.size() && is_digit(text[n])) ++n;
  return n;
}

// "%.4g" after the leading digits: [.digits][e(+|-)digits], the exponent of
// two digits at least.
bool is_shortest_rest(std::string_view rest) {
  if (rest.starts_with('.')) {
    const std::size_t decimals = digits_at_start(rest.substr(1));
    if (decimals == 0) return false;
    rest.remove_prefix(1 + decimals);
  }
  if (rest.empty()) return true;
  if (rest.size() < 4 || rest[0] != 'e' || (rest[1] != '+' && rest[1] != '-')) return false;
  return digits_at_start(rest.substr(2)) == rest.size() - 2;
}

// Takes the significance code off cell; false when it is none of the program's.
bool without_code(std::string_view& cell) {
  const std::size_t blank = cell.find(' ');
  if (blank == std::string_view::npos) return true;
  const std::string_view code = cell.substr(blank);
  cell = cell.substr(0, blank);
  return code == " *" || code == " **" || code == " ***";
}

bool is_number_cell(std::string_view cell, Printed how, bool not_a_number_allowed, bool coded) {
  return (!coded || without_code(cell)) && is_printed_number(cell, how, not_a_number_allowed);
}

}  // namespace

bool is_printed_number(std::string_view cell, Printed how, bool not_a_number_allowed) {
  if (cell == "nan" || cell == "-nan") return not_a_number_allowed;
  if (cell == "inf" || cell == "-inf") return not_a_number_allowed && how == Printed::kShortest;
  if (cell.starts_with('-')) cell.remove_prefix(1);
  const std::size_t digits = digits_at_start(cell);
  if (digits == 0) return false;
  const std::string_view rest = cell.substr(digits);
  switch (how) {
    case Printed::kWhole: return rest.empty();
    case Printed::kFixed: return rest.size() == 7 && rest[0] == '.' && digits_at_start(rest.substr(1)) == 6;
    case Printed::kShortest: return is_shortest_rest(rest);
  }
  return false;
}

std::string cell_problem(std::size_t index, std::string_view cell) {
  return "cell " + std::to_string(index + 1) + ", \"" + std::string(cell) + "\", is no number as the program writes it";
}

std::string row_problem(const std::vector<std::string_view>& row, std::size_t n_numbers, const RowLayout& layout) {
  const std::size_t expected = layout.labels + n_numbers + (layout.slopes ? 3 : 0);
  if (row.size() != expected)
    return "it has " + std::to_string(row.size()) + " cells, not " + std::to_string(expected);
  const std::size_t numbers_end = layout.labels + n_numbers;
  for (std::size_t f = layout.labels; f < numbers_end; ++f)
    if (!is_number_cell(row[f], layout.printed, layout.not_a_number_allowed, layout.coded))
      return cell_problem(f, row[f]);
  if (!layout.slopes) return "";
  if (!row[numbers_end].empty()) return "cell " + std::to_string(numbers_end + 1) + " is not empty";
  for (std::size_t f = numbers_end + 1; f < expected; ++f)
    if (!is_number_cell(row[f], Printed::kShortest, true, layout.coded)) return cell_problem(f, row[f]);
  return "";
}

}  // namespace kalveno::plot
