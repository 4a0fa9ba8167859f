#include "plot/local_results.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <map>

#include "base/results_headings.h"
#include "base/text.h"
#include "plot/printed_cells.h"

namespace kalveno::plot {

namespace {

constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();

// The number that fills field, or NaN.
double whole_number_field(std::string_view field) {
  double value = kNoNumber;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  return error == std::errc() && end == field.data() + field.size() ? value : kNoNumber;
}

// The number at the start of text, or NaN.
double leading_number(std::string_view text) {
  double value = kNoNumber;
  auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  return error == std::errc() ? value : kNoNumber;
}

// The quadrant words of the file of values, in the order of the section's
// counts; a sample without neighbours has a word of its own.
constexpr const char* const* kQuadrantWords = headings::kCountedQuadrants;
constexpr std::size_t kQuadrantCount = std::size(headings::kCountedQuadrants);
constexpr std::string_view kNoNeighboursWord = headings::kNoNeighbours;
constexpr std::size_t kColumnsPerVariable = std::size(headings::kLocalColumnSuffixes);

// The whole number that fills field, or -1.
int whole_count(std::string_view field) {
  int value = -1;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  return error == std::errc() && end == field.data() + field.size() ? value : -1;
}

// The place of word among kQuadrantWords, -1 when it is none of them.
int quadrant_index(std::string_view word) {
  for (std::size_t q = 0; q < kQuadrantCount; ++q)
    if (word == kQuadrantWords[q]) return static_cast<int>(q);
  return -1;
}

// The radius and the randomizations that a settings line states.
void read_settings(LocalRun& run) {
  const std::string_view settings = run.settings;
  const std::size_t within = settings.find(headings::kLocalWithin);
  run.radius = within == std::string_view::npos
                   ? kNoNumber
                   : leading_number(settings.substr(within + std::string_view(headings::kLocalWithin).size()));
  const std::size_t sphere = settings.find(headings::kLocalGreatCircle);
  if (within != std::string_view::npos && sphere != std::string_view::npos) {
    const double degrees = leading_number(settings.substr(sphere + std::string_view(headings::kLocalGreatCircle).size()));
    if (degrees > 0) run.radius_degrees = degrees;
  }
  const std::size_t randomizations = settings.find(headings::kLocalRandomizations);
  if (randomizations == std::string_view::npos) return;
  const std::size_t start = settings.rfind("; ", randomizations);
  if (start == std::string_view::npos) return;
  // A count that is no whole number in range leaves 0 (a double beyond int would not convert).
  const std::string_view count = settings.substr(start + 2);
  std::from_chars(count.data(), count.data() + count.size(), run.n_rep);
}

}  // namespace

namespace {

// The rows of the section's table, from line at + 1 on: the name, the
// samples and those without neighbours, the mean neighbours, then five
// counts. Returns the line of the last row.
std::size_t read_local_table(const std::vector<std::string_view>& lines, std::size_t at, LocalRun& run) {
  const RowLayout counts_layout{1, Printed::kWhole, false, false, false};
  while (at + 1 < lines.size()) {
    const std::vector<std::string_view> row = split_fields(lines[at + 1], '\t');
    if (row.size() < 2 || row[0].empty() || std::isnan(whole_number_field(row[1]))) break;
    std::vector<std::string_view> counts = row;
    if (counts.size() > 3) {
      if (!is_printed_number(counts[3], Printed::kFixed, true) && run.problem.empty())
        run.problem = "line " + std::to_string(at + 2) + ": " + cell_problem(3, counts[3]);
      counts.erase(counts.begin() + 3);  // the mean neighbours, "%f" (not a number without samples)
    }
    if (const std::string problem = row_problem(counts, 7, counts_layout); !problem.empty() && run.problem.empty())
      run.problem = "line " + std::to_string(at + 2) + ": " + problem;
    LocalCounts read;
    auto count = [&](std::size_t f) { return f < counts.size() ? whole_count(counts[f]) : -1; };
    read.samples = count(1);
    read.isolated = count(2);
    for (int q = 0; q < 5; ++q) read.quadrants[q] = count(3 + q);
    run.variables.emplace_back(row[0]);
    run.counts.push_back(read);
    ++at;
  }
  return at;
}

}  // namespace

std::vector<LocalRun> read_local_runs(std::string_view text) {
  const std::vector<std::string_view> lines = split_lines(text);
  std::vector<LocalRun> runs;
  std::string data_file;
  int n_samples = 0;
  for (std::size_t at = 0; at < lines.size(); ++at) {
    const std::string_view line = lines[at];
    if (headings::is_run_banner(line)) {
      data_file.clear();
      n_samples = 0;
    } else if (line.starts_with(headings::kDataFile)) {
      data_file = line.substr(std::string_view(headings::kDataFile).size());
    } else if (line.starts_with(headings::kSampleCount)) {
      n_samples = std::max(0, whole_count(line.substr(std::string_view(headings::kSampleCount).size())));
    } else if (line == headings::kLocalMoran) {
      LocalRun run;
      run.data_file = data_file;
      run.n_samples = n_samples;
      if (at + 1 < lines.size() && lines[at + 1].starts_with(headings::kLocalSettings)) run.settings = lines[++at];
      read_settings(run);
      if (at + 1 < lines.size() && lines[at + 1].starts_with(headings::kLocalValuesFile))
        run.values_file = lines[++at].substr(std::string_view(headings::kLocalValuesFile).size());
      if (at + 1 < lines.size() && lines[at + 1] == headings::local_table_heading()) {
        run.table_line = ++at + 1;
        at = read_local_table(lines, at, run);
      }
      runs.push_back(std::move(run));
    }
  }
  return runs;
}

namespace {

// The variables named by the fourth line, five columns each.
std::string read_value_columns(const std::vector<std::string_view>& header, LocalValues& values) {
  const char* const* suffixes = headings::kLocalColumnSuffixes;
  if (header.size() < 3 || (header.size() - 3) % kColumnsPerVariable != 0 || header[0] != headings::kSampleColumn)
    return "its fourth line is not Sample, X, Y and five columns per variable";
  for (std::size_t column = 3; column < header.size(); column += kColumnsPerVariable) {
    if (!header[column].ends_with(suffixes[0]))
      return "column " + std::to_string(column + 1) + " is no " + suffixes[0] + " column";
    const std::string name(header[column].substr(0, header[column].size() - std::string_view(suffixes[0]).size()));
    for (std::size_t s = 1; s < kColumnsPerVariable; ++s)
      if (header[column + s] != name + suffixes[s])
        return "column " + std::to_string(column + s + 1) + " is not " + name + suffixes[s];
    values.variables.push_back(name);
  }
  return "";
}

// What is wrong with the five cells of a variable from cells[first] on, or
// nothing: all the missing-data word where the sample lacks the variable;
// else I_i, the lag (the missing-data word without neighbours), P and the
// adjusted P (the missing-data word when untested), all "%f" (not a number
// for a constant variable), and a quadrant word.
std::string variable_cells_problem(const std::vector<std::string_view>& cells, std::size_t first,
                                   std::string_view missing) {
  const std::string_view quadrant = cells[first + 4];
  auto not_missing = [&](std::size_t f) {
    return "cell " + std::to_string(f + 1) + ", \"" + std::string(cells[f]) + "\", is not the missing-data word " +
           std::string(missing);
  };
  if (quadrant == missing) {
    for (std::size_t f = first; f < first + 4; ++f)
      if (cells[f] != missing) return not_missing(f);
    return "";
  }
  const bool isolated = quadrant == kNoNeighboursWord;
  if (!isolated && quadrant_index(quadrant) < 0)
    return "cell " + std::to_string(first + 5) + ", \"" + std::string(quadrant) + "\", is no quadrant";
  for (std::size_t f = first; f < first + 4; ++f) {
    const bool may_be_missing = f >= first + 2 || (f == first + 1 && isolated);
    if (f == first + 1 && isolated && cells[f] != missing) return not_missing(f);
    if (!(may_be_missing && cells[f] == missing) && !is_printed_number(cells[f], Printed::kFixed, true))
      return cell_problem(f, cells[f]);
  }
  return "";
}

// Reads one sample's line (cells, n_columns of them expected) into values.
std::string read_sample(const std::vector<std::string_view>& cells, std::size_t n_columns, std::string_view missing,
                        LocalValues& values) {
  if (cells.size() != n_columns)
    return "it has " + std::to_string(cells.size()) + " cells, not " + std::to_string(n_columns);
  for (std::size_t f = 1; f <= 2; ++f)
    if (!is_printed_number(cells[f], Printed::kFixed, false)) return cell_problem(f, cells[f]);
  values.samples.emplace_back(cells[0]);
  values.x.push_back(whole_number_field(cells[1]));
  values.y.push_back(whole_number_field(cells[2]));
  for (std::size_t v = 0; v < values.variables.size(); ++v) {
    const std::size_t first = 3 + kColumnsPerVariable * v;
    if (const std::string problem = variable_cells_problem(cells, first, missing); !problem.empty()) return problem;
    auto number = [&](std::size_t column) {
      return cells[column] == missing ? kNoNumber : whole_number_field(cells[column]);
    };
    const std::string_view quadrant = cells[first + 4];
    values.values[v].push_back({number(first), number(first + 1), number(first + 2), number(first + 3),
                                quadrant == missing ? std::string() : std::string(quadrant)});
  }
  return "";
}

}  // namespace

std::string read_local_values(std::string_view text, LocalValues& values) {
  const std::vector<std::string_view> lines = split_lines(text);
  if (lines.size() < 4) return "it has fewer than its four lines of headings";
  values.settings = lines[1];
  const std::vector<std::string_view> counts = split_fields(lines[2], '\t');
  if (counts.size() != 4 || whole_count(counts[0]) < 0 || whole_count(counts[1]) < 0 || counts[2] != "0")
    return "its third line is not the samples, variables, 0 and the missing-data word";
  const std::string_view missing = counts[3];
  const std::vector<std::string_view> header = split_fields(lines[3], '\t');
  if (const std::string problem = read_value_columns(header, values); !problem.empty()) return problem;
  if (whole_count(counts[1]) != static_cast<int>(values.variables.size()))
    return "line 3 declares " + std::string(counts[1]) + " variables, but line 4 names " +
           std::to_string(values.variables.size());
  values.values.assign(values.variables.size(), {});
  std::map<std::string_view, std::size_t> line_of_sample;
  for (std::size_t at = 4; at < lines.size(); ++at) {
    if (lines[at].empty() && at + 1 == lines.size()) break;
    const std::vector<std::string_view> cells = split_fields(lines[at], '\t');
    const std::string where = "line " + std::to_string(at + 1);
    if (const std::string problem = read_sample(cells, header.size(), missing, values); !problem.empty())
      return where + ": " + problem;
    if (const auto [earlier, first] = line_of_sample.emplace(cells[0], at + 1); !first)
      return where + " repeats sample " + std::string(cells[0]) + " of line " + std::to_string(earlier->second);
  }
  if (whole_count(counts[0]) != static_cast<int>(values.samples.size()))
    return "line 3 declares " + std::string(counts[0]) + " samples, but " + std::to_string(values.samples.size()) +
           " sample lines follow: the file is cut short or was edited";
  return "";
}

namespace {

// The counts of variable v of values, as the section counts them.
LocalCounts counts_of(const LocalValues& values, std::size_t v) {
  LocalCounts counts;
  for (const LocalValue& value : values.values[v]) {
    if (value.quadrant.empty()) continue;
    ++counts.samples;
    if (value.quadrant == kNoNeighboursWord) ++counts.isolated;
    if (const int q = quadrant_index(value.quadrant); q >= 0) ++counts.quadrants[q];
  }
  return counts;
}

bool same_counts(const LocalCounts& a, const LocalCounts& b) {
  return a.samples == b.samples && a.isolated == b.isolated && std::equal(a.quadrants, a.quadrants + 5, b.quadrants);
}

}  // namespace

std::string local_run_problem(const LocalRun& run, const LocalValues& values) {
  if (!run.problem.empty()) return "the results file, " + run.problem;
  const std::size_t n_table = run.variables.size();
  if (n_table < values.variables.size() && run.settings == values.settings &&
      std::equal(run.variables.begin(), run.variables.end(), values.variables.begin()))
    return "the results file, line " + std::to_string(run.table_line) + ": the table counts " +
           std::to_string(n_table) + " of the " + std::to_string(values.variables.size()) +
           " variables of its file of values; the section is cut short";
  if (run.variables != values.variables) return "";  // another run's file: the caller says so
  if (run.n_samples > 0 && static_cast<int>(values.samples.size()) != run.n_samples)
    return "the file of values holds " + std::to_string(values.samples.size()) + " samples, the run's data " +
           std::to_string(run.n_samples);
  for (std::size_t v = 0; v < n_table; ++v)
    if (!same_counts(counts_of(values, v), run.counts[v]))
      return "the file of values does not hold the quadrants of " + run.variables[v] + " that line " +
             std::to_string(run.table_line + 1 + v) + " of the results file counts";
  return "";
}

}  // namespace kalveno::plot
