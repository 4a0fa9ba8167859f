#include "plot/spatial_results.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/results_headings.h"
#include "base/text.h"
#include "plot/printed_cells.h"

namespace kalveno::plot {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::string_view kObservedHeading = headings::kSpatialAnalysis;
const std::string_view kPairsLabel = headings::kPairsConsidered;
const std::string_view kCompleteHeading = headings::kCompleteTest;
const std::string_view kToroidalHeading = headings::kToroidalTest;
const std::string_view kDetailsHeading = headings::kTestDetails;
const std::string_view kTableHeading = headings::kMoranTable;

// The rows of the tables as the program writes them.
constexpr RowLayout kCountRow{2, Printed::kWhole, false, false, false};        // pairs in each class
constexpr RowLayout kDistanceRow{2, Printed::kFixed, false, false, false};     // mean distance of each class
constexpr RowLayout kMoranRow{2, Printed::kFixed, true, false, true};          // Moran's I; the details
constexpr RowLayout kCodedRow{2, Printed::kFixed, true, true, true};           // a test's Moran's I
constexpr RowLayout kAnalyticalRow{2, Printed::kShortest, true, true, false};  // z ("%f") and P ("%.4g")
// The correlogram's P, then each class's adjusted P: one number more than classes.
constexpr RowLayout kCorrectionRow{1, Printed::kShortest, true, true, false};

std::vector<std::string_view> split(std::string_view text, char separator) { return split_fields(text, separator); }

// A number as printf wrote it ("%f", "%.4g", "%i"), "nan", "-nan" and "inf"
// included, followed by rest (the significance code, if any). NaN when the
// field does not start with a number.
double read_number(std::string_view field, std::string_view* rest = nullptr) {
  double value = kNaN;
  auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc()) {
    if (rest) *rest = field;
    return kNaN;
  }
  if (rest) *rest = field.substr(end - field.data());
  return value;
}

// The classes of a row: fields first.. up to count of them, NaN where the
// row is short.
std::vector<double> class_values(const std::vector<std::string_view>& fields, std::size_t first, int count) {
  std::vector<double> values(count, kNaN);
  for (int c = 0; c < count && first + c < fields.size(); ++c) values[c] = read_number(fields[first + c]);
  return values;
}

// A coded value "0.123456 **": the number of stars, -1 for anything else.
int read_stars(std::string_view field) {
  std::string_view code;
  if (std::isnan(read_number(field, &code)) && code == field) return -1;
  if (code.empty()) return 0;
  for (int stars = 1; stars < static_cast<int>(std::size(headings::kSignificanceCodes)); ++stars)
    if (code == headings::kSignificanceCodes[stars]) return stars;
  return -1;
}

// The replicate count of a heading ending "(%i replicates)...".
int read_replicate_count(std::string_view heading) {
  std::size_t open = heading.find('(');
  if (open == std::string_view::npos) return 0;
  std::string_view count = heading.substr(open + 1);
  int n_rep = 0;
  std::from_chars(count.data(), count.data() + count.size(), n_rep);
  return n_rep;
}

// Whether the first cells of fields are those of cells (tab-separated).
bool starts_with_cells(const std::vector<std::string_view>& fields, std::string_view cells) {
  const std::vector<std::string_view> wanted = split_fields(cells, '\t');
  return fields.size() >= wanted.size() && std::equal(wanted.begin(), wanted.end(), fields.begin());
}

// A row of the class table: an empty first field and the label.
bool is_class_row(const std::vector<std::string_view>& fields, std::string_view label) {
  return fields.size() >= 2 && fields[0].empty() && fields[1] == label;
}

// A variable's row in a table: its name (never empty, never holding a blank)
// in the first field and the given label in the second.
bool is_variable_row(const std::vector<std::string_view>& fields, std::string_view label) {
  return fields.size() >= 2 && !fields[0].empty() && fields[0].find(' ') == std::string_view::npos &&
         fields[1] == label;
}

// The names of a table's rows, in order.
std::vector<std::string> names_of(const std::vector<SpatialVariable>& variables) {
  std::vector<std::string> names;
  for (const SpatialVariable& variable : variables) names.push_back(variable.name);
  return names;
}

class SectionReader {
 public:
  // A file edited elsewhere may carry a carriage return before each line feed.
  explicit SectionReader(std::string_view text) : lines_(split_lines(text)) {}

  std::vector<SpatialRun> read() {
    std::vector<SpatialRun> runs;
    bool open_run = false;  // test sections attach to the last run while it is open
    SpatialRun header;      // what the header block of the program run says
    while (next_ < lines_.size()) {
      std::string_view line = lines_[next_++];
      if (headings::is_run_banner(line)) {
        open_run = false;  // a new program run: what follows belongs to it
        header = SpatialRun();
      } else if (line.starts_with(headings::kDataFile)) {
        header.data_file = line.substr(std::string_view(headings::kDataFile).size());
      } else if (line.starts_with(headings::kSampleCount)) {
        header.n_samples = count_after(line, headings::kSampleCount);
      } else if (line.starts_with(headings::kVariableCount)) {
        header.n_variables = count_after(line, headings::kVariableCount);
      } else if (line == headings::kQualitativeStatistics) {
        header.qualitative = read_qualitative_names();
      } else if (line == kObservedHeading) {
        runs.push_back(header);
        read_observed(runs.back());
        open_run = true;
      } else if (open_run) {
        read_test_section(runs.back(), line);
      }
    }
    for (SpatialRun& run : runs) check_sections_agree(run);
    return runs;
  }

 private:
  bool at_end() const { return next_ >= lines_.size(); }
  std::vector<std::string_view> fields() const { return split(lines_[next_], '\t'); }

  static int count_after(std::string_view line, std::string_view label) {
    const std::string_view count = line.substr(label.size());
    int value = 0;
    std::from_chars(count.data(), count.data() + count.size(), value);
    return value;
  }

  // Notes the first reason not to trust run: what is wrong at (0-based) line.
  static void flag(SpatialRun& run, std::size_t line, const std::string& what) {
    if (run.problem.empty()) run.problem = "line " + std::to_string(line + 1) + ": " + what;
  }
  // Flags row (at line) when its cells are not those of layout.
  static void check_row(SpatialRun& run, std::size_t line, const std::vector<std::string_view>& row,
                        const RowLayout& layout) {
    const std::size_t n_numbers = static_cast<std::size_t>(run.n_classes()) + (&layout == &kCorrectionRow ? 1 : 0);
    if (const std::string problem = row_problem(row, n_numbers, layout); !problem.empty()) flag(run, line, problem);
  }

  // The section that line (just read) opens, when it belongs to a spatial run.
  void read_test_section(SpatialRun& run, std::string_view line) {
    if (line.starts_with(kCompleteHeading)) {
      read_coded_table(run.complete, headings::kComplete, line, run);
    } else if (line.starts_with(kToroidalHeading)) {
      read_coded_table(run.toroidal, headings::kToroidal, line, run);
    } else if (line.starts_with(headings::kCorrection)) {
      read_correction(run, line);
    } else if (line.starts_with(headings::kAnalyticalTests)) {
      read_analytical(run);
    } else if (line.starts_with(kDetailsHeading)) {
      std::string_view name = line.substr(kDetailsHeading.size());
      name = name.substr(0, name.find(std::string(headings::kRandomizationWord) + " ("));
      if (name == headings::kComplete)
        read_details(run.complete, headings::kComplete, line, run);
      else
        read_details(run.toroidal, headings::kToroidal, line, run);
    }
  }

  // The pair set and the three class rows.
  void read_classes(SpatialRun& run) {
    if (!at_end() && lines_[next_].starts_with(kPairsLabel)) {
      run.pairs = split(lines_[next_].substr(kPairsLabel.size()), '\t')[0];
      ++next_;
    }
    while (!at_end() && lines_[next_] != kTableHeading) {
      std::vector<std::string_view> row = fields();
      if (row.size() < 2 || !row[0].empty()) return;  // not a class row: the section is cut short
      if (row[1] == headings::kClassBounds) {
        // The bounds run up to the empty column before the two slope titles.
        for (std::size_t f = 2; f < row.size() && !row[f].empty(); ++f) {
          run.class_max.push_back(read_number(row[f]));
          if (!is_printed_number(row[f], Printed::kFixed, false)) flag(run, next_, cell_problem(f, row[f]));
        }
      } else if (row[1] == headings::kClassPairs) {
        check_row(run, next_, row, kCountRow);
        for (double count : class_values(row, 2, run.n_classes()))
          run.pair_count.push_back(std::isnan(count) ? -1 : static_cast<long long>(count));
      } else if (row[1] == headings::kClassMeanDistance) {
        check_row(run, next_, row, kDistanceRow);
        run.mean_distance = class_values(row, 2, run.n_classes());
      } else {
        return;
      }
      ++next_;
    }
  }

  // The class rows and the table of observed values, one row per variable
  // of the run.
  void read_observed(SpatialRun& run) {
    const std::size_t heading = next_ - 1;
    read_classes(run);
    if (at_end()) return flag(run, heading, "the spatial analysis is cut short before its table of Moran's I values");
    ++next_;
    while (!at_end()) {
      std::vector<std::string_view> row = fields();
      if (!is_variable_row(row, "")) break;
      check_row(run, next_, row, kMoranRow);
      run.variables.push_back({std::string(row[0]), class_values(row, 2, run.n_classes())});
      ++next_;
    }
    if (run.n_variables > 0 && static_cast<int>(run.variables.size()) != run.n_variables)
      flag(run, heading, format("the table of Moran's I holds %zu of the %i variables of the run; the section is cut "
                                "short", run.variables.size(), run.n_variables));
  }

  // A test section: its heading, the coding line, the mean distances, then
  // one coded row per variable.
  void read_coded_table(SpatialTest& test, const char* randomization, std::string_view heading,
                        SpatialRun& run) {
    test = SpatialTest();
    test.present = true;
    test.line = next_;
    test.randomization = randomization;
    test.n_rep = read_replicate_count(heading);
    skip_coding_and_distances();
    if (at_end() || lines_[next_] != kTableHeading)
      return flag(run, test.line - 1, "the test section is cut short before its table");
    ++next_;
    while (!at_end()) {
      std::vector<std::string_view> row = fields();
      if (!is_variable_row(row, "")) break;
      check_row(run, next_, row, kCodedRow);
      check_same_missing_values(run, row, test.names.size());
      test.names.emplace_back(row[0]);
      std::vector<int> stars(run.n_classes(), -1);
      for (int c = 0; c < run.n_classes() && 2u + c < row.size(); ++c) stars[c] = read_stars(row[2 + c]);
      test.stars.push_back(stars);
      ++next_;
    }
    if (test.names != names_of(run.variables))
      flag(run, test.line - 1, "the test section does not hold a row for each variable of the run: it is cut short");
  }

  // Row v of a test table, or the observed row of variable v in the
  // details, has a value where the table of Moran's I has one: both repeat
  // its values.
  void check_same_missing_values(SpatialRun& run, const std::vector<std::string_view>& row, std::size_t v) {
    if (v >= run.variables.size()) return;
    const std::vector<double> values = class_values(row, 2, run.n_classes());
    for (int c = 0; c < run.n_classes(); ++c)
      if (std::isnan(values[c]) != std::isnan(run.variables[v].moran[c]))
        return flag(run, next_, format("the value of class %i is not that of the table of Moran's I", c + 1));
  }

  void skip_coding_and_distances() {
    while (!at_end() &&
           (lines_[next_].starts_with(headings::kCoding) || is_class_row(fields(), headings::kClassMeanDistance)))
      ++next_;
  }

  // The details table: four rows per variable, of which the two 95% bounds
  // are kept.
  void read_details(SpatialTest& test, const char* randomization, std::string_view heading, SpatialRun& run) {
    if (!test.present) {  // details without their coded table: a band but no codes
      test.present = true;
      test.randomization = randomization;
      test.n_rep = read_replicate_count(heading);
      flag(run, next_ - 1, "these details follow no table of their test");
    }
    test.detailed = true;
    test.detail_names.clear();
    test.ci95_inf.clear();
    test.ci95_sup.clear();
    const std::size_t heading_line = next_ - 1;
    if (!at_end() && starts_with_cells(fields(), headings::kDetailsColumns)) ++next_;
    int rows_of_last = 4;
    while (!at_end()) {
      std::vector<std::string_view> row = fields();
      if (is_variable_row(row, headings::kObservedRow)) {
        if (rows_of_last != 4) flag(run, next_, "the details of the variable above lack some of their four rows");
        rows_of_last = 0;
        check_same_missing_values(run, row, test.detail_names.size());
        test.detail_names.emplace_back(row[0]);
        test.ci95_inf.emplace_back(run.n_classes(), kNaN);
        test.ci95_sup.emplace_back(run.n_classes(), kNaN);
      } else if (!test.detail_names.empty() && is_class_row(row, headings::kUpperBoundRow)) {
        test.ci95_sup.back() = class_values(row, 2, run.n_classes());
      } else if (!test.detail_names.empty() && is_class_row(row, headings::kLowerBoundRow)) {
        test.ci95_inf.back() = class_values(row, 2, run.n_classes());
      } else if (!is_class_row(row, headings::kMeanRow)) {
        break;
      }
      check_row(run, next_, row, kMoranRow);
      ++rows_of_last;
      ++next_;
    }
    if (rows_of_last != 4 || test.detail_names != names_of(run.variables))
      flag(run, heading_line, "the details do not hold the four rows of each variable of the run: they are cut short");
  }

  // The rows of the qualitative basic statistics: a name, then the state
  // frequencies on a row of their own.
  std::vector<std::string> read_qualitative_names() {
    std::vector<std::string> names;
    if (!at_end() && is_class_row(fields(), headings::kStateCountColumn)) ++next_;
    while (!at_end() && !lines_[next_].empty()) {
      std::vector<std::string_view> row = fields();
      if (!row[0].empty()) names.emplace_back(row[0]);
      ++next_;
    }
    return names;
  }

  // The variables that the analytical tests concern, when the run says.
  static int quantitative_count(const SpatialRun& run) {
    return run.n_variables > 0 ? run.n_variables - static_cast<int>(run.qualitative.size()) : -1;
  }

  // The analytical tests, read only to see that none of their rows is cut
  // off: four per quantitative variable.
  void read_analytical(SpatialRun& run) {
    const std::size_t heading = next_ - 1;
    run.analytical = true;
    skip_coding_and_distances();
    if (!at_end() && lines_[next_].starts_with("Variable\tclass")) ++next_;
    int rows = 0;
    for (; !at_end() && !lines_[next_].empty(); ++next_, ++rows) check_row(run, next_, fields(), kAnalyticalRow);
    const int expected = quantitative_count(run);
    if (rows % 4 != 0 || (expected >= 0 && rows != 4 * expected))
      flag(run, heading, "the analytical tests do not hold the four rows of each quantitative variable: they are "
                         "cut short");
  }

  // The rows of a correction table, checked; names and stars taken when given.
  int read_correction_rows(SpatialRun& run, std::vector<std::string>* names, std::vector<std::vector<int>>* stars) {
    int rows = 0;
    for (; !at_end(); ++next_, ++rows) {
      std::vector<std::string_view> row = fields();
      if (row.size() < 2 || row[0].empty() || row[0].find(' ') != std::string_view::npos) break;
      check_row(run, next_, row, kCorrectionRow);
      if (names == nullptr) continue;
      names->emplace_back(row[0]);
      std::vector<int> codes(run.n_classes(), -1);
      for (int c = 0; c < run.n_classes() && 2u + c < row.size(); ++c) codes[c] = read_stars(row[2 + c]);
      stars->push_back(codes);
    }
    return rows;
  }

  // A correction section: the test it follows, named in its heading, then
  // per variable the whole correlogram's P and each class's adjusted P.
  // Those of the analytical tests, one row per quantitative variable, are
  // only checked.
  void read_correction(SpatialRun& run, std::string_view heading) {
    const std::size_t heading_line = next_ - 1;
    const std::size_t method_end = heading.find(headings::kCorrectedTest);
    if (method_end == std::string_view::npos) return;
    const std::string_view method = heading.substr(std::string_view(headings::kCorrection).size(),
                                                   method_end - std::string_view(headings::kCorrection).size());
    const std::string_view test_name = heading.substr(method_end + std::string_view(headings::kCorrectedTest).size());
    const std::string complete = std::string(headings::kComplete) + headings::kRandomizationWord;
    const std::string toroidal = std::string(headings::kToroidal) + headings::kRandomizationWord;
    SpatialTest* test = test_name.starts_with(complete)   ? &run.complete
                        : test_name.starts_with(toroidal) ? &run.toroidal
                                                          : nullptr;
    skip_coding_and_distances();
    const bool has_table = !at_end() && lines_[next_] == headings::kCorrectionTable;
    if (has_table) ++next_;
    if (test == nullptr) {
      run.analytical_corrected = true;
      const int rows = read_correction_rows(run, nullptr, nullptr), expected = quantitative_count(run);
      if (!has_table || (expected >= 0 && rows != expected))
        flag(run, heading_line, "the correction does not hold a row for each quantitative variable: it is cut short");
      return;
    }
    test->corrected = true;
    test->correction = method;
    test->corrected_names.clear();
    test->corrected_stars.clear();
    if (has_table) read_correction_rows(run, &test->corrected_names, &test->corrected_stars);
    if (!has_table || test->corrected_names != names_of(run.variables))
      flag(run, heading_line, "the correction does not hold a row for each variable of the run: it is cut short");
  }

  // Sections that the run's choices always write together: a test of a
  // run that corrected or detailed another test (or corrected its
  // analytical tests) is corrected or detailed too; the toroidal test
  // follows the complete one.
  static void check_sections_agree(SpatialRun& run) {
    const SpatialTest &complete = run.complete, &toroidal = run.toroidal;
    if (toroidal.present && !complete.present)
      return flag(run, toroidal.line - 1, "the toroidal test follows no complete test; the complete test is missing");
    for (const SpatialTest* test : {&complete, &toroidal}) {
      const SpatialTest& other = test == &complete ? toroidal : complete;
      if (!test->present) continue;
      if (!test->corrected && (run.analytical_corrected || (other.present && other.corrected)))
        return flag(run, test->line - 1, "the correction of this test is missing, though the run corrected its "
                                         "other tests");
      if (!test->detailed && other.present && other.detailed)
        return flag(run, test->line - 1, "the details of this test are missing, though the run detailed its other "
                                         "test");
    }
  }

  std::vector<std::string_view> lines_;
  std::size_t next_ = 0;
};

}  // namespace

std::vector<SpatialRun> read_spatial_runs(std::string_view text) { return SectionReader(text).read(); }

}  // namespace kalveno::plot
