#include "plot/local_results.h"

#include <charconv>
#include <cmath>
#include <iterator>
#include <limits>

#include "base/results_headings.h"
#include "base/text.h"

namespace kalveno::plot {

namespace {

constexpr double kNoNumber = std::numeric_limits<double>::quiet_NaN();
constexpr std::size_t kColumnsPerVariable = std::size(headings::kLocalColumnSuffixes);

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
  if (start != std::string_view::npos) run.n_rep = static_cast<int>(leading_number(settings.substr(start + 2)));
}

}  // namespace

std::vector<LocalRun> read_local_runs(std::string_view text) {
  const std::vector<std::string_view> lines = split_lines(text);
  std::vector<LocalRun> runs;
  std::string data_file;
  const std::string table_heading = headings::local_table_heading();
  const std::size_t n_table_columns = split_fields(table_heading, '\t').size();
  for (std::size_t at = 0; at < lines.size(); ++at) {
    const std::string_view line = lines[at];
    if (headings::is_run_banner(line)) {
      data_file.clear();
    } else if (line.starts_with(headings::kDataFile)) {
      data_file = line.substr(std::string_view(headings::kDataFile).size());
    } else if (line == headings::kLocalMoran) {
      LocalRun run;
      run.data_file = data_file;
      if (at + 1 < lines.size() && lines[at + 1].starts_with(headings::kLocalSettings)) run.settings = lines[++at];
      read_settings(run);
      if (at + 1 < lines.size() && lines[at + 1].starts_with(headings::kLocalValuesFile))
        run.values_file = lines[++at].substr(std::string_view(headings::kLocalValuesFile).size());
      if (at + 1 < lines.size() && lines[at + 1] == table_heading) {
        ++at;
        // Each row: the name, then a count for each heading after it.
        while (at + 1 < lines.size()) {
          const std::vector<std::string_view> row = split_fields(lines[at + 1], '\t');
          if (row.size() != n_table_columns || row[0].empty() || std::isnan(whole_number_field(row[1]))) break;
          run.variables.emplace_back(row[0]);
          ++at;
        }
      }
      runs.push_back(std::move(run));
    }
  }
  return runs;
}

std::string read_local_values(std::string_view text, LocalValues& values) {
  const std::vector<std::string_view> lines = split_lines(text);
  if (lines.size() < 4) return "it has fewer than its four lines of headings";
  values.settings = lines[1];
  const std::vector<std::string_view> counts = split_fields(lines[2], '\t');
  if (counts.size() != 4) return "its third line is not the samples, variables, 0 and the missing-data word";
  const std::string_view missing = counts[3];
  const std::vector<std::string_view> header = split_fields(lines[3], '\t');
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
  values.values.assign(values.variables.size(), {});
  for (std::size_t at = 4; at < lines.size(); ++at) {
    if (lines[at].empty() && at + 1 == lines.size()) break;
    const std::vector<std::string_view> cells = split_fields(lines[at], '\t');
    const std::string where = "line " + std::to_string(at + 1);
    if (cells.size() != header.size()) return where + " has " + std::to_string(cells.size()) + " cells, not " +
                                              std::to_string(header.size());
    const double x = whole_number_field(cells[1]), y = whole_number_field(cells[2]);
    if (!std::isfinite(x) || !std::isfinite(y)) return where + " has no position";
    values.samples.emplace_back(cells[0]);
    values.x.push_back(x);
    values.y.push_back(y);
    for (std::size_t v = 0; v < values.variables.size(); ++v) {
      const std::size_t first = 3 + kColumnsPerVariable * v;
      auto number = [&](std::size_t column) {
        return cells[column] == missing ? kNoNumber : whole_number_field(cells[column]);
      };
      const std::string_view quadrant = cells[first + 4];
      values.values[v].push_back({number(first), number(first + 1), number(first + 2), number(first + 3),
                                  quadrant == missing ? std::string() : std::string(quadrant)});
    }
  }
  return "";
}

}  // namespace kalveno::plot
