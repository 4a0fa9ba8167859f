#include "plot/spatial_results.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>

#include "base/results_headings.h"
#include "base/text.h"

namespace kalveno::plot {

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

const std::string_view kObservedHeading = headings::kSpatialAnalysis;
const std::string_view kPairsLabel = headings::kPairsConsidered;
const std::string_view kCompleteHeading = headings::kCompleteTest;
const std::string_view kToroidalHeading = headings::kToroidalTest;
const std::string_view kDetailsHeading = headings::kTestDetails;
const std::string_view kTableHeading = headings::kMoranTable;

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
  for (int stars = 0; stars < static_cast<int>(std::size(headings::kSignificanceCodes)); ++stars)
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

class SectionReader {
 public:
  // A file edited elsewhere may carry a carriage return before each line feed.
  explicit SectionReader(std::string_view text) : lines_(split_lines(text)) {}

  std::vector<SpatialRun> read() {
    std::vector<SpatialRun> runs;
    bool open_run = false;  // test sections attach to the last run while it is open
    std::string data_file;
    int n_samples = 0;
    std::vector<std::string> qualitative;
    while (next_ < lines_.size()) {
      std::string_view line = lines_[next_++];
      if (headings::is_run_banner(line)) {
        open_run = false;  // a new program run: what follows belongs to it
        data_file.clear();
        n_samples = 0;
        qualitative.clear();
      } else if (line.starts_with(headings::kDataFile)) {
        data_file = line.substr(std::string_view(headings::kDataFile).size());
      } else if (line.starts_with(headings::kSampleCount)) {
        const std::string_view count = line.substr(std::string_view(headings::kSampleCount).size());
        std::from_chars(count.data(), count.data() + count.size(), n_samples);
      } else if (line == headings::kQualitativeStatistics) {
        qualitative = read_qualitative_names();
      } else if (line == kObservedHeading) {
        runs.emplace_back();
        runs.back().data_file = data_file;
        runs.back().n_samples = n_samples;
        runs.back().qualitative = qualitative;
        read_observed(runs.back());
        open_run = true;
      } else if (open_run && line.starts_with(kCompleteHeading)) {
        read_coded_table(runs.back().complete, headings::kComplete, line, runs.back());
      } else if (open_run && line.starts_with(kToroidalHeading)) {
        read_coded_table(runs.back().toroidal, headings::kToroidal, line, runs.back());
      } else if (open_run && line.starts_with(headings::kCorrection)) {
        read_correction(runs.back(), line);
      } else if (open_run && line.starts_with(kDetailsHeading)) {
        std::string_view name = line.substr(kDetailsHeading.size());
        name = name.substr(0, name.find(std::string(headings::kRandomizationWord) + " ("));
        if (name == headings::kComplete)
          read_details(runs.back().complete, headings::kComplete, line, runs.back());
        else
          read_details(runs.back().toroidal, headings::kToroidal, line, runs.back());
      }
    }
    return runs;
  }

 private:
  bool at_end() const { return next_ >= lines_.size(); }
  std::vector<std::string_view> fields() const { return split(lines_[next_], '\t'); }

  // The pair set, the three class rows and the table of observed values.
  void read_observed(SpatialRun& run) {
    if (!at_end() && lines_[next_].starts_with(kPairsLabel)) {
      run.pairs = split(lines_[next_].substr(kPairsLabel.size()), '\t')[0];
      ++next_;
    }
    while (!at_end() && lines_[next_] != kTableHeading) {
      std::vector<std::string_view> row = fields();
      if (row.size() < 2 || !row[0].empty()) return;  // not a class row: the section is cut short
      if (row[1] == headings::kClassBounds) {
        // The bounds run up to the empty column before the two slope titles.
        for (std::size_t f = 2; f < row.size() && !row[f].empty(); ++f) run.class_max.push_back(read_number(row[f]));
      } else if (row[1] == headings::kClassPairs) {
        for (double count : class_values(row, 2, run.n_classes()))
          run.pair_count.push_back(std::isnan(count) ? -1 : static_cast<long long>(count));
      } else if (row[1] == headings::kClassMeanDistance) {
        run.mean_distance = class_values(row, 2, run.n_classes());
      } else {
        return;
      }
      ++next_;
    }
    if (at_end()) return;
    ++next_;
    while (!at_end()) {
      std::vector<std::string_view> row = fields();
      if (!is_variable_row(row, "")) return;
      run.variables.push_back({std::string(row[0]), class_values(row, 2, run.n_classes())});
      ++next_;
    }
  }

  // A test section: its heading, the coding line, the mean distances, then
  // one coded row per variable.
  void read_coded_table(SpatialTest& test, const char* randomization, std::string_view heading,
                        const SpatialRun& run) {
    test = SpatialTest();
    test.present = true;
    test.randomization = randomization;
    test.n_rep = read_replicate_count(heading);
    while (!at_end() &&
           (lines_[next_].starts_with(headings::kCoding) || is_class_row(fields(), headings::kClassMeanDistance)))
      ++next_;
    if (at_end() || lines_[next_] != kTableHeading) return;  // the section is cut short
    ++next_;
    while (!at_end()) {
      std::vector<std::string_view> row = fields();
      if (!is_variable_row(row, "")) return;
      test.names.emplace_back(row[0]);
      std::vector<int> stars(run.n_classes(), -1);
      for (int c = 0; c < run.n_classes() && 2u + c < row.size(); ++c) stars[c] = read_stars(row[2 + c]);
      test.stars.push_back(stars);
      ++next_;
    }
  }

  // The details table: four rows per variable, of which the two 95% bounds
  // are kept.
  void read_details(SpatialTest& test, const char* randomization, std::string_view heading, const SpatialRun& run) {
    if (!test.present) {  // details without their coded table: a band but no codes
      test.present = true;
      test.randomization = randomization;
      test.n_rep = read_replicate_count(heading);
    }
    test.detailed = true;
    test.detail_names.clear();
    test.ci95_inf.clear();
    test.ci95_sup.clear();
    if (!at_end() && starts_with_cells(fields(), headings::kDetailsColumns)) ++next_;
    while (!at_end()) {
      std::vector<std::string_view> row = fields();
      if (is_variable_row(row, headings::kObservedRow)) {
        test.detail_names.emplace_back(row[0]);
        test.ci95_inf.emplace_back(run.n_classes(), kNaN);
        test.ci95_sup.emplace_back(run.n_classes(), kNaN);
      } else if (!test.detail_names.empty() && is_class_row(row, headings::kUpperBoundRow)) {
        test.ci95_sup.back() = class_values(row, 2, run.n_classes());
      } else if (!test.detail_names.empty() && is_class_row(row, headings::kLowerBoundRow)) {
        test.ci95_inf.back() = class_values(row, 2, run.n_classes());
      } else if (!is_class_row(row, headings::kMeanRow)) {
        return;
      }
      ++next_;
    }
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

  // A correction section: the test it follows, named in its heading, then
  // per variable the whole correlogram's P and each class's adjusted P.
  // Corrections of the analytical tests are passed over.
  void read_correction(SpatialRun& run, std::string_view heading) {
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
    if (test == nullptr) return;
    test->corrected = true;
    test->correction = method;
    test->corrected_names.clear();
    test->corrected_stars.clear();
    while (!at_end() &&
           (lines_[next_].starts_with(headings::kCoding) || is_class_row(fields(), headings::kClassMeanDistance)))
      ++next_;
    if (at_end() || lines_[next_] != headings::kCorrectionTable) return;
    ++next_;
    while (!at_end()) {
      std::vector<std::string_view> row = fields();
      if (row.size() < 2 || row[0].empty() || row[0].find(' ') != std::string_view::npos) return;
      test->corrected_names.emplace_back(row[0]);
      std::vector<int> stars(run.n_classes(), -1);
      for (int c = 0; c < run.n_classes() && 2u + c < row.size(); ++c) stars[c] = read_stars(row[2 + c]);
      test->corrected_stars.push_back(stars);
      ++next_;
    }
  }

  std::vector<std::string_view> lines_;
  std::size_t next_ = 0;
};

}  // namespace

std::vector<SpatialRun> read_spatial_runs(std::string_view text) { return SectionReader(text).read(); }

}  // namespace kalveno::plot
