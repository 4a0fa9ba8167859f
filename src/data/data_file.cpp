#include "data/data_file.h"

#include <string_view>
#include <unordered_map>

#include "base/console.h"
#include "base/files.h"
#include "base/program_end.h"
#include "base/text.h"
#include "base/allocation.h"

namespace kalveno {

namespace {

constexpr int kHeaderLines = 4;

// The file cut into lines; a line ends with a line feed, and a carriage
// return before it is not part of the line.
std::vector<std::string_view> split_lines(const std::string& content) {
  std::vector<std::string_view> lines;
  std::string_view rest(content);
  while (!rest.empty()) {
    std::size_t end = rest.find('\n');
    std::string_view line = rest.substr(0, end);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    if (end == std::string_view::npos) break;
    rest.remove_prefix(end + 1);
  }
  return lines;
}

// The tab-separated cells of a line; the tab is the only separator.
std::vector<std::string_view> split_cells(std::string_view line) {
  std::vector<std::string_view> cells;
  while (true) {
    std::size_t tab = line.find('\t');
    cells.push_back(line.substr(0, tab));
    if (tab == std::string_view::npos) return cells;
    line.remove_prefix(tab + 1);
  }
}

// Leading columns of line 4 and of each sample line: name, x, y, then grid
// X and Y with one grid, grid name, X and Y with several.
int leading_columns(int n_grids) { return n_grids <= 0 ? 3 : (n_grids == 1 ? 5 : 6); }

bool is_ascii_letter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

std::string read_file_or_wait(Console& console, const std::string& name, bool reopening) {
  std::string content;
  while (!read_text_file(name, content)) {
    if (!reopening) {
      console.print("\nWARNING: Cannot open data file %c%s%c.\nIf it is being used by another application, "
                    "close it first.\nIf it does not exist in the specified directory, bring it first.\n"
                    "Then press RETURN.\nPress Ctrl+c twice to stop the programm now.\n",
                    '"', name.c_str(), '"');
    } else {
      console.print("\nWarning: cannot open the data file \"%s\".\nIf it is being used by another application, "
                    "close it first.\nIf it does not exist in the specified directory, bring it first.\n"
                    "Then press Return.\nPress Ctrl+c to stop the programm now.\n",
                    name.c_str());
    }
    wait_key_or_stop(console, "Stopped: the data file cannot be opened, and without a terminal no key press "
                              "can say when to try again.");
  }
  return content;
}

void read_counts(Console& console, std::string_view line, DataSet& data) {
  int* counts[3] = {&data.n_samples, &data.n_grids, &data.n_variables};
  for (int* count : counts) {
    ScannedInt n = scan_decimal(line);
    if (!n.found) refuse_data_file(console, "\n\nWARNING: 4 elements expected on second line of the data file - not found");
    if (!n.in_range || n.value < 0)
      refuse_data_file(console, "\n\nWARNING: the numbers of samples, grids and variables on second line of the "
                                "data file must be whole numbers from 0 to 2147483647");
    *count = static_cast<int>(n.value);
    line.remove_prefix(n.end);
  }
  std::string_view missing = first_word(line);
  if (missing.empty()) refuse_data_file(console, "\n\nWARNING: 4 elements expected on second line of the data file - not found");
  data.missing_code = std::string(missing);
  // A grid holds at least one sample: more grids than samples is a typing error.
  if (data.n_grids > data.n_samples)
    refuse_data_file(console, format("\n\nWARNING: %i grids declared on second line of the data file for only %i "
                                     "samples", data.n_grids, data.n_samples));
}

void read_classes(Console& console, std::string_view line, DataSet& data) {
  ScannedInt n = scan_decimal(line);
  if (!n.found || !n.in_range || n.value < 0)
    refuse_data_file(console, "\n\nWARNING: the number of distance classes (a whole number of 0 or more) expected "
                              "at the start of third line of the data file - not found");
  std::vector<std::string_view> cells = split_cells(line);
  if (n.value > static_cast<long long>(cells.size()) - 1)
    refuse_data_file(console, format("\n\nWARNING: %lli upper bounds of distance classes expected on third line of "
                                     "the data file, %zu found", n.value, cells.size() - 1));
  DistanceClasses& classes = data.classes;
  classes.n_classes = static_cast<int>(n.value);
  classes.class_max = dvector(1, classes.n_classes);
  for (int k = 1; k <= classes.n_classes; ++k) {
    ScannedFloat bound = scan_float(cells[static_cast<std::size_t>(k)]);
    if (!bound.found || !bound.in_range)
      refuse_data_file(console, format("\n\nWARNING: cannot read the upper bound of distance class %i on third line "
                                       "of the data file", k));
    classes.class_max[k] = bound.value;
  }
}

void read_variable_names(Console& console, std::string_view line, DataSet& data) {
  const int v_count = data.n_variables;
  std::vector<std::string_view> cells = split_cells(line);
  const std::size_t first = static_cast<std::size_t>(leading_columns(data.n_grids));
  std::size_t found = cells.size() > first ? cells.size() - first : 0;
  if (found < static_cast<std::size_t>(v_count))
    refuse_data_file(console, format("\n\nWARNING: %i variable names expected on fourth line of the data file, %zu "
                                     "found", v_count, found));
  data.var_names = name_table(0, 2 * v_count);
  data.var_kind = ivector(0, v_count);
  data.state_names = make_vector<std::vector<std::string>>(0, v_count, "\nallocation failure 1 in matrix()");
  for (int j = 1; j <= v_count; ++j) {
    std::string_view cell = cells[first + static_cast<std::size_t>(j - 1)];
    int kind = 0;
    if (!cell.empty() && cell.front() == '$') kind = 1;
    if (!cell.empty() && cell.front() == '#') kind = -1;
    if (kind != 0) cell.remove_prefix(1);
    std::string_view name = first_word(cell);
    if (name.empty())
      refuse_data_file(console, format("\n\nWARNING: no name for variable %i on fourth line of the data file", j));
    data.var_names[j] = std::string(name);
    data.var_kind[j] = kind;
  }
}

// The sample lines of a data file, cut into cells, with the rules that refuse
// a line that cannot be read.
class SampleLineReader {
 public:
  SampleLineReader(Console& console, const DataSet& data, int sample, std::string_view line)
      : console_(console), data_(data), sample_(sample), cells_(split_cells(line)) {}

  std::string_view cell(int column, const std::string& what) {
    if (static_cast<std::size_t>(column) >= cells_.size())
      refuse(format("\n\nWARNING: sample %i (line %i of the data file) ends before its %s", sample_, line_number(),
                    what.c_str()));
    return cells_[static_cast<std::size_t>(column)];
  }

  std::string_view word(int column, const char* what) {
    std::string_view found = first_word(cell(column, what));
    if (found.empty())
      refuse(format("\n\nWARNING: no %s for sample %i (line %i of the data file)", what, sample_, line_number()));
    return found;
  }

  double coordinate(int column, const char* what) {
    std::string_view text = word(column, what);
    ScannedFloat number = scan_float(text);
    if (text == data_.missing_code || !number.found || !number.in_range)
      refuse(format("\n\nWARNING: cannot read the %s of sample %i (line %i of the data file): a number is expected",
                    what, sample_, line_number()));
    return number.value;
  }

  int grid_position(int column, const char* what) {
    std::string_view text = word(column, what);
    ScannedInt number = scan_int(text);
    if (text == data_.missing_code || !number.found || !number.in_range || number.value < 0)
      refuse(format("\n\nWARNING: cannot read the %s of sample %i (line %i of the data file): a whole number of 0 "
                    "or more is expected", what, sample_, line_number()));
    return static_cast<int>(number.value);
  }

  std::string_view variable_word(int column, int variable) {
    std::string_view text = first_word(cell(column, format("cell of variable %i", variable)));
    if (text.empty())
      refuse(format("\n\nWARNING: no empty cell allowed in the data file. Check sample %i, variable %i", sample_,
                    variable));
    return text;
  }

  [[noreturn]] void refuse(const std::string& warning) { refuse_data_file(console_, warning); }
  int line_number() const { return sample_ + kHeaderLines; }

 private:
  Console& console_;
  const DataSet& data_;
  int sample_;
  std::vector<std::string_view> cells_;
};

// Whether an unmarked variable's word makes it qualitative: it does not start
// with a number, or a letter follows its leading number (A3, 12kg; not 12%).
bool reads_as_qualitative(std::string_view word) {
  ScannedFloat number = scan_float(word);
  if (!number.found) return true;
  return number.end < word.size() && is_ascii_letter(word[number.end]);
}

}  // namespace

void read_data_header(Console& console, const std::string& data_file_name, DataSet& data) {
  std::string content = read_file_or_wait(console, data_file_name, false);
  std::vector<std::string_view> lines = split_lines(content);
  auto line = [&](std::size_t number) { return number <= lines.size() ? lines[number - 1] : std::string_view(); };

  data.title_line = std::string(line(1)) + "\n";
  read_counts(console, line(2), data);
  read_classes(console, line(3), data);
  read_variable_names(console, line(4), data);

  std::size_t sample_lines = lines.size() > kHeaderLines ? lines.size() - kHeaderLines : 0;
  if (sample_lines < static_cast<std::size_t>(data.n_samples))
    refuse_data_file(console, format("\n\nWARNING: %i sample lines expected in the data file (second line), %zu found",
                                     data.n_samples, sample_lines));
}

void allocate_sample_arrays(DataSet& data) {
  const int n = data.n_samples;
  data.sample_names = name_table(0, n);
  data.sample_grid = imatrix(0, 2, 0, n);
  data.x = dvector(0, n);
  data.y = dvector(0, n);
  data.values = matrix(0, 2 * data.n_variables, 0, n);
}

void load_data_file(Console& console, const std::string& data_file_name, DataSet& data) {
  const std::string content = read_file_or_wait(console, data_file_name, true);
  const std::vector<std::string_view> lines = split_lines(content);
  const int n = data.n_samples, v_count = data.n_variables, g_count = data.n_grids;
  if (lines.size() < static_cast<std::size_t>(kHeaderLines) + static_cast<std::size_t>(n))
    refuse_data_file(console, format("\n\nWARNING: %i sample lines expected in the data file (second line), %zu found",
                                     n, lines.size() > kHeaderLines ? lines.size() - kHeaderLines : 0));
  const int first_variable_column = leading_columns(g_count);

  // First pass: every cell's word, and the kind of every unmarked variable.
  std::vector<std::string_view> words(static_cast<std::size_t>(n) * static_cast<std::size_t>(v_count));
  auto word_of = [&](int i, int j) -> std::string_view& {
    return words[static_cast<std::size_t>(i - 1) * static_cast<std::size_t>(v_count) + static_cast<std::size_t>(j - 1)];
  };
  std::unordered_map<std::string_view, int> grid_numbers;
  data.max_grid_x = 0;
  data.max_grid_y = 0;
  for (int i = 1; i <= n; ++i) {
    SampleLineReader reader(console, data, i, lines[static_cast<std::size_t>(kHeaderLines + i - 1)]);
    data.sample_names[i] = std::string(reader.word(0, "sample name"));
    data.x[i] = reader.coordinate(1, "x coordinate");
    data.y[i] = reader.coordinate(2, "y coordinate");
    int column = 3;
    if (g_count >= 2) {
      std::string_view grid_name = reader.word(column++, "grid name");
      auto known = grid_numbers.find(grid_name);
      if (known == grid_numbers.end()) {
        if (static_cast<int>(grid_numbers.size()) == g_count)
          reader.refuse(format("\n\nWARNING: too many grid names: sample %i (line %i of the data file) names grid "
                               "\"%.*s\", beyond the %i grids declared on second line",
                               i, reader.line_number(), static_cast<int>(grid_name.size()), grid_name.data(), g_count));
        known = grid_numbers.emplace(grid_name, static_cast<int>(grid_numbers.size()) + 1).first;
      }
      data.sample_grid(0, i) = known->second;
    } else if (g_count == 1) {
      data.sample_grid(0, i) = 1;
    }
    if (g_count >= 1) {
      int grid_x = reader.grid_position(column++, "grid X position");
      int grid_y = reader.grid_position(column++, "grid Y position");
      data.sample_grid(1, i) = grid_x;
      data.sample_grid(2, i) = grid_y;
      if (grid_x > data.max_grid_x) data.max_grid_x = grid_x;
      if (grid_y > data.max_grid_y) data.max_grid_y = grid_y;
    }
    for (int j = 1; j <= v_count; ++j) {
      std::string_view word = reader.variable_word(first_variable_column + j - 1, j);
      word_of(i, j) = word;
      if (word != data.missing_code && data.var_kind[j] == 0 && reads_as_qualitative(word)) data.var_kind[j] = 1;
    }
  }

  // Second pass, variable by variable: numbers, or state numbers in order of
  // first appearance (counted from the first sample that has the variable).
  for (int j = 1; j <= v_count; ++j) {
    std::vector<std::string>& states = data.state_names[j];
    states.assign(1, std::string());  // entry 0 unused
    std::unordered_map<std::string_view, int> state_numbers;
    for (int i = 1; i <= n; ++i) {
      std::string_view word = word_of(i, j);
      if (word == data.missing_code) {
        data.values(j, i) = MISSING_VALUE;
      } else if (data.var_kind[j] <= 0) {
        ScannedFloat number = scan_float(word);
        if (!number.found)
          refuse_data_file(console, format("\n\nWARNING: cannot read the quantitative variable %i for sample %i", j, i));
        if (!number.in_range)
          refuse_data_file(console, format("\n\nWARNING: the quantitative variable %i for sample %i is beyond the "
                                           "single-precision range", j, i));
        data.values(j, i) = number.value;
      } else {
        auto known = state_numbers.find(word);
        if (known == state_numbers.end()) {
          states.emplace_back(word);
          known = state_numbers.emplace(word, static_cast<int>(states.size()) - 1).first;
        }
        data.values(j, i) = known->second;
      }
    }
    if (data.var_kind[j] > 0) {
      // A qualitative variable missing everywhere keeps one, unnamed, state.
      if (states.size() == 1) states.emplace_back();
      data.var_kind[j] = static_cast<int>(states.size()) - 1;
    } else {
      data.var_kind[j] = 0;
    }
  }
}

}  // namespace kalveno
