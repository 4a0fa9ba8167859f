#include "data/data_file.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <string_view>
#include <unordered_map>
#include <utility>

#include "base/text.h"

namespace kalveno {

namespace {

constexpr int kHeaderLines = 4;

// The tab-separated cells of a line; the tab is the only separator.
std::vector<std::string_view> split_cells(std::string_view line) { return split_fields(line, '\t'); }

[[noreturn]] void refuse(const std::string& warning) { throw DataFileRefused{warning}; }

// Leading columns of line 4 and of each sample line: name, x, y, then grid
// X and Y with one grid, grid name, X and Y with several.
int leading_columns(int n_grids) { return n_grids <= 0 ? 3 : (n_grids == 1 ? 5 : 6); }

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

// Whether a number read from the start of text ends where text's first word
// ends: "11" and "11 NA" qualify, "11.5", "1e2" and "3,5" do not.
bool ends_its_word(std::string_view text, std::size_t end) { return end >= text.size() || is_blank_char(text[end]); }

// Warns once when a warning is wanted.
void warn_if(const DataFileWarning& warn, const std::string& warning) {
  if (warn) warn(warning);
}

// The cells of a line up to its last one that holds more than blanks: a
// spreadsheet may end lines with empty cells, which are not counted.
std::size_t filled_cells(const std::vector<std::string_view>& cells) {
  std::size_t n = cells.size();
  while (n > 0 && is_blank(cells[n - 1])) --n;
  return n;
}

// Where a sample's line is, for the messages that point at one of its cells.
std::string sample_place(int sample, std::string_view name) {
  return format("sample %i (\"%.*s\", line %i of the data file)", sample, static_cast<int>(name.size()), name.data(),
                sample + kHeaderLines);
}

// " (and so have N more things)" after the first case of a warning, or nothing.
std::string and_so_have(int more, const char* thing) {
  if (more == 0) return {};
  return format(" (and so ha%s %i more %s%s)", more == 1 ? "s" : "ve", more, thing, more == 1 ? "" : "s");
}

std::string variable_place(const DataSet& data, int variable) {
  return format("variable %i (%s)", variable, data.var_names[variable].c_str());
}

void read_counts(std::string_view line, DataSet& data) {
  int* counts[3] = {&data.n_samples, &data.n_grids, &data.n_variables};
  for (int* count : counts) {
    ScannedInt n = scan_decimal(line);
    if (!n.found) refuse("\n\nWARNING: 4 elements expected on second line of the data file - not found");
    if (!n.in_range || n.value < 0 || !ends_its_word(line, n.end))
      refuse("\n\nWARNING: the numbers of samples, grids and variables on second line of the "
             "data file must be whole numbers from 0 to 2147483647");
    *count = static_cast<int>(n.value);
    line.remove_prefix(n.end);
  }
  std::string_view missing = first_word(line);
  if (missing.empty()) refuse("\n\nWARNING: 4 elements expected on second line of the data file - not found");
  data.missing_code = std::string(missing);
  // A grid holds at least one sample: more grids than samples is a typing error.
  if (data.n_grids > data.n_samples)
    refuse(format("\n\nWARNING: %i grids declared on second line of the data file for only %i "
                  "samples", data.n_grids, data.n_samples));
}

void read_classes(const Allocator& allocator, std::string_view line, DataSet& data, const DataFileWarning& warn) {
  ScannedInt n = scan_decimal(line);
  if (!n.found || !n.in_range || n.value < 0 || !ends_its_word(line, n.end))
    refuse("\n\nWARNING: the number of distance classes (a whole number of 0 or more) expected "
           "at the start of third line of the data file - not found");
  std::vector<std::string_view> cells = split_cells(line);
  if (n.value > static_cast<long long>(cells.size()) - 1)
    refuse(format("\n\nWARNING: %lli upper bounds of distance classes expected on third line of "
                  "the data file, %zu found", n.value, cells.size() - 1));
  DistanceClasses& classes = data.classes;
  classes.n_classes = static_cast<int>(n.value);
  classes.class_max = allocator.double_vector(1, classes.n_classes);
  for (int k = 1; k <= classes.n_classes; ++k) {
    const std::string_view cell = trim_blanks(cells[static_cast<std::size_t>(k)]);
    ScannedFloat bound = scan_float(cell);
    if (!bound.found || !bound.in_range || bound.end != cell.size())
      refuse(format("\n\nWARNING: cannot read the upper bound of distance class %i on third line "
                    "of the data file", k));
    classes.class_max[k] = bound.value;
  }
  // A bound not above the one before leaves its class empty.
  for (int k = 2; k <= classes.n_classes; ++k) {
    if (classes.class_max[k] > classes.class_max[k - 1]) continue;
    warn_if(warn, format("\nWarning: the upper bound of distance class %i (%g) on third line of the data file is "
                         "not above that of class %i (%g): the bounds are expected in increasing order, and "
                         "class %i gets no pair.",
                         k, classes.class_max[k], k - 1, classes.class_max[k - 1], k));
    break;
  }
}

void read_variable_names(const Allocator& allocator, std::string_view line, DataSet& data,
                         const DataFileWarning& warn) {
  const int v_count = data.n_variables;
  std::vector<std::string_view> cells = split_cells(line);
  const std::size_t first = static_cast<std::size_t>(leading_columns(data.n_grids));
  std::size_t found = cells.size() > first ? cells.size() - first : 0;
  if (found < static_cast<std::size_t>(v_count))
    refuse(format("\n\nWARNING: %i variable names expected on fourth line of the data file, %zu "
                  "found", v_count, found));
  auto header = [&](std::size_t column) {
    return column < cells.size() ? std::string(trim_blanks(cells[column])) : std::string();
  };
  data.x_name = header(1);
  data.y_name = header(2);
  const std::size_t filled = filled_cells(cells), named = filled > first ? filled - first : 0;
  if (named > static_cast<std::size_t>(v_count)) {
    const std::string_view unread = trim_blanks(cells[first + static_cast<std::size_t>(v_count)]);
    warn_if(warn, format("\nWarning: second line of the data file declares %i variables, but fourth line names %zu: "
                         "\"%.*s\" and the names after it are not read, nor their columns.",
                         v_count, named, static_cast<int>(unread.size()), unread.data()));
  }
  data.var_names = allocator.text_vector(0, v_count);
  data.var_kind = allocator.int_vector(0, v_count);
  data.state_names = allocator.vector_of<std::vector<std::string>>(0, v_count, allocation_message::kList);
  for (int j = 1; j <= v_count; ++j) {
    std::string_view cell = cells[first + static_cast<std::size_t>(j - 1)];
    int kind = 0;
    if (!cell.empty() && cell.front() == '$') kind = 1;
    if (!cell.empty() && cell.front() == '#') kind = -1;
    if (kind != 0) cell.remove_prefix(1);
    std::string_view name = first_word(cell);
    if (name.empty())
      refuse(format("\n\nWARNING: no name for variable %i on fourth line of the data file", j));
    data.var_names[j] = std::string(name);
    data.var_kind[j] = kind;
    if (const std::string_view whole = trim_blanks(cell); whole != name)
      warn_if(warn, format("\nWarning: the name of variable %i on fourth line of the data file, \"%.*s\", is read "
                           "as \"%s\": a name is one word.",
                           j, static_cast<int>(whole.size()), whole.data(), data.var_names[j].c_str()));
  }
  // A name given in an answer or an option finds the first variable of that
  // name (the first qualitative one, where a qualitative variable is asked for).
  std::unordered_map<std::string_view, int> first_of_name;
  for (int j = 1; j <= v_count; ++j) {
    auto [known, added] = first_of_name.emplace(data.var_names[j], j);
    if (added || known->second < 0) continue;
    warn_if(warn, format("\nWarning: variables %i and %i are both named \"%s\" on fourth line of the data file: an "
                         "answer or option naming it takes the first of them (the first qualitative one, where a "
                         "qualitative variable is asked for).",
                         known->second, j, data.var_names[j].c_str()));
    known->second = -1;  // said once per name
  }
}

// The sample lines of a data file, cut into cells, with the rules that refuse
// a line that cannot be read.
class SampleLineReader {
 public:
  SampleLineReader(const DataSet& data, int sample, std::string_view line)
      : data_(data), sample_(sample), cells_(split_cells(line)) {}

  std::string_view cell(int column, const std::string& what) {
    if (static_cast<std::size_t>(column) >= cells_.size())
      refuse(format("\n\nWARNING: %s ends before its %s", place().c_str(), what.c_str()));
    return cells_[static_cast<std::size_t>(column)];
  }

  // A cell read whole, without the blanks around it; never empty.
  std::string_view text(int column, const char* what) {
    std::string_view found = trim_blanks(cell(column, what));
    if (found.empty()) refuse(format("\n\nWARNING: no %s for %s", what, place().c_str()));
    return found;
  }

  // The sample's name, read first: the messages about its other cells give it.
  void read_name() { name_ = text(0, "sample name"); }
  std::string_view name() const { return name_; }

  // In double precision, so that a position far from the origin keeps its
  // decimals (a northing of 5123456.25); within the single-precision range,
  // as every number of the file, which keeps every distance finite.
  double coordinate(int column, const char* what) {
    std::string_view number_text = text(column, what);
    ScannedDouble number = scan_double(number_text);
    if (number_text == data_.missing_code || !number.found || number.end != number_text.size())
      refuse(format("\n\nWARNING: cannot read the %s of %s: a number is expected", what, place().c_str()));
    if (!number.in_range || !(std::fabs(number.value) <= std::numeric_limits<float>::max()))
      refuse(format("\n\nWARNING: the %s of %s is beyond the single-precision range (at most %.8g in size)", what,
                    place().c_str(), static_cast<double>(std::numeric_limits<float>::max())));
    return number.value;
  }

  // Decimal, so that zero-padded positions (010, 08) read as written.
  int grid_position(int column, const char* what) {
    std::string_view number_text = text(column, what);
    ScannedInt number = scan_decimal(number_text);
    if (number_text == data_.missing_code || !number.found || !number.in_range || number.value < 0 ||
        number.end != number_text.size())
      refuse(format("\n\nWARNING: cannot read the %s of %s: a whole number of 0 or more is expected", what,
                    place().c_str()));
    return static_cast<int>(number.value);
  }

  // The cell of a variable without its surrounding blanks; never empty.
  std::string_view variable_cell(int column, int variable) {
    const std::string named = variable_place(data_, variable);
    std::string_view text = trim_blanks(cell(column, "cell of " + named));
    if (text.empty())
      refuse(format("\n\nWARNING: no empty cell allowed in the data file. Check %s, %s", place().c_str(),
                    named.c_str()));
    return text;
  }

  int line_number() const { return sample_ + kHeaderLines; }
  std::size_t n_filled_cells() const { return filled_cells(cells_); }

 private:
  // "sample I (line N of the data file)", with the sample's name once read.
  std::string place() const {
    if (name_.empty()) return format("sample %i (line %i of the data file)", sample_, line_number());
    return sample_place(sample_, name_);
  }

  const DataSet& data_;
  int sample_;
  std::vector<std::string_view> cells_;
  std::string_view name_;
};

// Great-circle distances read x as a longitude and y as a latitude, in
// degrees; a longitude runs from -180 to 360 so that both of the usual
// conventions read as written.
void check_degrees(const DataSet& data, int i) {
  auto refuse_angle = [&](const char* angle, const char* axis, double value, double low, double high) {
    refuse(format("\n\nWARNING: %s has a %s (%s) of %s: great-circle distances take %ss from %g to %g degrees",
                  sample_place(i, data.sample_names[i]).c_str(), angle, axis, exact_number(value).c_str(), angle, low,
                  high));
  };
  if (!(data.x[i] >= kLowestLongitude && data.x[i] <= kHighestLongitude))
    refuse_angle("longitude", "x", data.x[i], kLowestLongitude, kHighestLongitude);
  if (!(data.y[i] >= kLowestLatitude && data.y[i] <= kHighestLatitude))
    refuse_angle("latitude", "y", data.y[i], kLowestLatitude, kHighestLatitude);
}

// Whether an unmarked variable's word makes it qualitative: it does not start
// with a number, or a letter follows its leading number (A3, 12kg; not 12%).
bool reads_as_qualitative(std::string_view word) {
  ScannedFloat number = scan_float(word);
  if (!number.found) return true;
  return number.end < word.size() && is_ascii_letter(word[number.end]);
}

// An unmarked variable made qualitative by a few words among numbers (a
// missing-data word in another case, "n/a", a stray note) is most likely
// read otherwise than meant: says which words did it, and how many times.
void warn_of_stray_words(const DataSet& data, int j, const std::function<std::string_view(int i)>& cell,
                         const DataFileWarning& warn) {
  constexpr std::size_t kListedWords = 5;
  std::vector<std::pair<std::string_view, int>> words;  // in order of first appearance
  std::unordered_map<std::string_view, std::size_t> word_index;
  int n_numbers = 0, n_words = 0;
  for (int i = 1; i <= data.n_samples; ++i) {
    const std::string_view word = cell(i);
    if (word == data.missing_code) continue;
    if (!reads_as_qualitative(word)) {
      ++n_numbers;
      continue;
    }
    ++n_words;
    auto [known, added] = word_index.emplace(word, words.size());
    if (added) words.emplace_back(word, 0);
    ++words[known->second].second;
  }
  if (n_numbers <= n_words) return;
  std::string listed;
  for (std::size_t w = 0; w < words.size() && w < kListedWords; ++w)
    listed += format("%s\"%.*s\" (%i cell%s)", w == 0 ? "" : ", ", static_cast<int>(words[w].first.size()),
                     words[w].first.data(), words[w].second, words[w].second == 1 ? "" : "s");
  if (words.size() > kListedWords) listed += format(" and %zu other words", words.size() - kListedWords);
  warn_if(warn, format("\nWarning: %s is qualitative, with %i states, although %i of its cells are numbers, "
                       "because of %s. Missing data are marked %s, exactly as on second line of the data "
                       "file; a name marked # is read as numbers, one marked $ as states without this warning.",
                       variable_place(data, j).c_str(), data.var_kind[j], n_numbers, listed.c_str(),
                       data.missing_code.c_str()));
}

// The cells of every variable, each without the blanks around it, by sample
// line: [i - 1][j]. The table grows a sample line at a time, as the lines are
// read: made whole from the header's counts, a short file declaring many
// samples and variables could ask for more memory than the machine has
// before its first line is refused.
using CellTable = std::vector<RangedVector<std::string_view>>;

// What the first pass over the sample lines finds besides their cells.
struct SampleLineNotes {
  std::unordered_map<std::string_view, int> grid_numbers;  // grid name -> 1..G, in order of appearance
  std::vector<char> made_qualitative;  // [j]: an unmarked variable that a word made qualitative
  std::size_t header_cells = 0;        // the filled cells of the column headers
  // What the lines hold that is not read, and grid positions of 0: the
  // first sample concerned and how many.
  int first_long_line = 0, n_long_lines = 0, first_at_zero = 0, n_at_zero = 0;
  std::size_t first_long_line_cells = 0;
};

// The grid of sample i (by its name, with several grids) and its grid X and
// Y, from column 3 of its line on; the column after them.
int read_grid_place(SampleLineReader& reader, DataSet& data, int i, SampleLineNotes& notes) {
  const int g_count = data.n_grids;
  int column = 3;
  if (g_count >= 2) {
    std::string_view grid_name = reader.text(column++, "grid name");
    auto known = notes.grid_numbers.find(grid_name);
    if (known == notes.grid_numbers.end()) {
      if (static_cast<int>(notes.grid_numbers.size()) == g_count)
        refuse(format("\n\nWARNING: too many grid names: %s names grid \"%.*s\", beyond the %i grids declared "
                      "on second line",
                      sample_place(i, reader.name()).c_str(), static_cast<int>(grid_name.size()), grid_name.data(),
                      g_count));
      known = notes.grid_numbers.emplace(grid_name, static_cast<int>(notes.grid_numbers.size()) + 1).first;
    }
    data.sample_grid(0, i) = known->second;
  } else if (g_count == 1) {
    data.sample_grid(0, i) = 1;
  }
  if (g_count >= 1) {
    const int grid_x = reader.grid_position(column++, "grid X position");
    const int grid_y = reader.grid_position(column++, "grid Y position");
    data.sample_grid(1, i) = grid_x;
    data.sample_grid(2, i) = grid_y;
    data.max_grid_x = std::max(data.max_grid_x, grid_x);
    data.max_grid_y = std::max(data.max_grid_y, grid_y);
    if ((grid_x == 0 || grid_y == 0) && notes.n_at_zero++ == 0) notes.first_at_zero = i;
  }
  return column;
}

// Sample line i: its name, coordinates and grid place into data, its
// variable cells into cells, and the kind of every unmarked variable that
// one of them makes qualitative.
void read_sample_line(const Allocator& allocator, std::string_view line, DataSet& data, int i, CellTable& cells,
                      SampleLineNotes& notes) {
  SampleLineReader reader(data, i, line);
  reader.read_name();
  data.sample_names[i] = std::string(reader.name());
  data.x[i] = reader.coordinate(1, "x coordinate");
  data.y[i] = reader.coordinate(2, "y coordinate");
  if (data.distance_kind == DistanceKind::kGreatCircle) check_degrees(data, i);
  const int first_variable_column = read_grid_place(reader, data, i, notes);
  RangedVector<std::string_view>& row = cells.emplace_back(
      allocator.vector_of<std::string_view>(1, data.n_variables, allocation_message::kTextCells));
  for (int j = 1; j <= data.n_variables; ++j) {
    row[j] = reader.variable_cell(first_variable_column + j - 1, j);
    if (row[j] != data.missing_code && data.var_kind[j] == 0 && reads_as_qualitative(row[j])) {
      data.var_kind[j] = 1;
      notes.made_qualitative[static_cast<std::size_t>(j)] = 1;
    }
  }
  if (const std::size_t filled = reader.n_filled_cells(); filled > notes.header_cells && notes.n_long_lines++ == 0) {
    notes.first_long_line = i;
    notes.first_long_line_cells = filled;
  }
}

void warn_of_sample_lines(const DataSet& data, const SampleLineNotes& notes, const DataFileWarning& warn) {
  if (notes.n_long_lines > 0)
    warn_if(warn, format("\nWarning: %s has %zu cells, more than the %zu column headers of fourth line%s: the cells "
                         "beyond the headers are not read.",
                         sample_place(notes.first_long_line, data.sample_names[notes.first_long_line]).c_str(),
                         notes.first_long_line_cells, notes.header_cells,
                         and_so_have(notes.n_long_lines - 1, "sample line").c_str()));
  // Outside the cells 1.. of its grid, a sample does not move with the grid
  // in a toroidal randomization: positions counted from 0 would leave a whole
  // row or column of the grid out.
  if (notes.n_at_zero > 0)
    warn_if(warn, format("\nWarning: %s has a grid position of 0%s: grid positions count from 1, so a sample at 0 "
                         "lies outside its grid's torus and does not move with the grid in a toroidal "
                         "randomization.",
                         sample_place(notes.first_at_zero, data.sample_names[notes.first_at_zero]).c_str(),
                         and_so_have(notes.n_at_zero - 1, "sample").c_str()));
}

// The value of quantitative variable j in sample i, from its cell: the
// number at the start of the cell, read in single precision.
double read_quantity(const DataSet& data, int j, int i, std::string_view cell, bool& warned,
                     const DataFileWarning& warn) {
  ScannedFloat number = scan_float(cell);
  if (!number.found)
    refuse(format("\n\nWARNING: cannot read the quantitative %s for %s", variable_place(data, j).c_str(),
                  sample_place(i, data.sample_names[i]).c_str()));
  if (!number.in_range)
    refuse(format("\n\nWARNING: the quantitative %s for %s is beyond the single-precision range",
                  variable_place(data, j).c_str(), sample_place(i, data.sample_names[i]).c_str()));
  // An unmarked variable read by the leading number of a cell such as 3,5
  // or 12%: said once, at its first such cell, so that a decimal comma never
  // goes unnoticed. A # mark asks for this reading.
  if (data.var_kind[j] == 0 && !warned && number.end != cell.size()) {
    warned = true;
    warn_if(warn, format("\nWarning: %s reads \"%.*s\" of %s as %g: only the number at the start of a cell is "
                         "read, and numbers take a decimal point.",
                         variable_place(data, j).c_str(), static_cast<int>(cell.size()), cell.data(),
                         sample_place(i, data.sample_names[i]).c_str(), static_cast<double>(number.value)));
  }
  return number.value;
}

// Variable j from its cells: numbers, or state numbers in order of first
// appearance (counted from the first sample that has the variable), a
// state being the whole cell.
void read_variable(DataSet& data, int j, const CellTable& cells, bool made_qualitative, const DataFileWarning& warn) {
  std::vector<std::string>& states = data.state_names[j];
  states.assign(1, std::string());  // entry 0 unused
  std::unordered_map<std::string_view, int> state_numbers;
  bool warned = false;
  for (int i = 1; i <= data.n_samples; ++i) {
    const std::string_view cell = cells[static_cast<std::size_t>(i - 1)][j];
    if (cell == data.missing_code) {
      data.values(j, i) = MISSING_VALUE;
    } else if (data.var_kind[j] <= 0) {
      data.values(j, i) = read_quantity(data, j, i, cell, warned, warn);
    } else {
      auto known = state_numbers.find(cell);
      if (known == state_numbers.end()) {
        states.emplace_back(cell);
        known = state_numbers.emplace(cell, static_cast<int>(states.size()) - 1).first;
      }
      data.values(j, i) = known->second;
    }
  }
  if (data.var_kind[j] <= 0) {
    data.var_kind[j] = 0;
    return;
  }
  // A qualitative variable missing everywhere keeps one, unnamed, state.
  if (states.size() == 1) states.emplace_back();
  data.var_kind[j] = static_cast<int>(states.size()) - 1;
  if (made_qualitative)
    warn_of_stray_words(data, j, [&](int i) { return cells[static_cast<std::size_t>(i - 1)][j]; }, warn);
}

}  // namespace

DataFile::DataFile(std::string text) : text_(std::move(text)), lines_(split_lines(text_)) {}

void DataFile::read_header(const Allocator& allocator, DataSet& data, const DataFileWarning& warn,
                           bool check_class_order) const {
  auto line = [&](std::size_t number) { return number <= lines_.size() ? lines_[number - 1] : std::string_view(); };

  data.title_line = std::string(line(1)) + "\n";
  read_counts(line(2), data);
  read_classes(allocator, line(3), data, check_class_order ? warn : DataFileWarning());
  read_variable_names(allocator, line(4), data, warn);

  std::size_t sample_lines = lines_.size() > kHeaderLines ? lines_.size() - kHeaderLines : 0;
  if (sample_lines < static_cast<std::size_t>(data.n_samples))
    refuse(format("\n\nWARNING: %i sample lines expected in the data file (second line), %zu found", data.n_samples,
                  sample_lines));
  // Lines after the declared samples are not read; blank ones say nothing.
  std::size_t first_unread = 0, unread = 0;
  for (std::size_t l = kHeaderLines + static_cast<std::size_t>(data.n_samples); l < lines_.size(); ++l) {
    if (is_blank(lines_[l])) continue;
    if (unread++ == 0) first_unread = l + 1;
  }
  if (unread == 1)
    warn_if(warn, format("\nWarning: second line of the data file declares %i samples, but %i sample lines follow: "
                         "the last one, line %zu, is not read.",
                         data.n_samples, data.n_samples + 1, first_unread));
  if (unread > 1)
    warn_if(warn, format("\nWarning: second line of the data file declares %i samples, but %zu sample lines follow: "
                         "the last %zu, from line %zu on, are not read.",
                         data.n_samples, static_cast<std::size_t>(data.n_samples) + unread, unread, first_unread));
}

void allocate_sample_arrays(const Allocator& allocator, DataSet& data) {
  const int n = data.n_samples;
  data.sample_names = allocator.text_vector(0, n);
  data.sample_grid = allocator.int_matrix(0, 2, 0, n);
  data.x = allocator.double_vector(0, n);
  data.y = allocator.double_vector(0, n);
  data.values = allocator.double_matrix(0, data.n_variables, 0, n);
}

void DataFile::read_samples(const Allocator& allocator, DataSet& data, const DataFileWarning& warn) const {
  // First pass: every sample line, with the cells of its variables and the
  // kind of every unmarked variable that a cell makes qualitative.
  CellTable cells;
  SampleLineNotes notes;
  notes.made_qualitative.assign(static_cast<std::size_t>(data.n_variables) + 1, 0);
  notes.header_cells = lines_.size() >= kHeaderLines ? filled_cells(split_cells(lines_[kHeaderLines - 1])) : 0;
  data.max_grid_x = 0;
  data.max_grid_y = 0;
  for (int i = 1; i <= data.n_samples; ++i)
    read_sample_line(allocator, lines_[static_cast<std::size_t>(kHeaderLines + i - 1)], data, i, cells, notes);
  warn_of_sample_lines(data, notes, warn);

  if (data.distance_kind == DistanceKind::kGreatCircle) make_sphere_points(allocator, data);

  // Second pass, variable by variable, now that the kinds are known.
  for (int j = 1; j <= data.n_variables; ++j)
    read_variable(data, j, cells, notes.made_qualitative[static_cast<std::size_t>(j)] != 0, warn);
}

}  // namespace kalveno
