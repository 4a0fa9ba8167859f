#include "local_moran/local_moran_report.h"

#include <cmath>
#include <iterator>

#include "base/results_headings.h"
#include "base/text.h"

namespace kalveno {

namespace {

// The quadrants counted in the section, in its column order: that of
// headings::kCountedQuadrants.
constexpr Quadrant kCounted[] = {Quadrant::kHighHigh, Quadrant::kLowLow, Quadrant::kHighLow, Quadrant::kLowHigh,
                                 Quadrant::kNotSignificant};
static_assert(std::size(kCounted) == std::size(headings::kCountedQuadrants));

}  // namespace

std::string local_moran_settings(const LocalMoranSetup& setup, const LocalMoranResults& results) {
  std::string line = format("%s%s%f", headings::kLocalSettings, headings::kLocalWithin, setup.radius);
  if (setup.radius_degrees > 0)
    line += format("%s%f degrees of latitude)", headings::kLocalGreatCircle, setup.radius_degrees);
  line += " (binary weights); ";
  if (results.n_rep == 0) return line + "no randomization test: quadrants by the signs alone";
  return line + format("%i%s (seed %d); P two-sided, adjusted over the samples of each variable "
                       "(Benjamini-Hochberg); significant: adjusted P<=0.05",
                       results.n_rep, headings::kLocalRandomizations, results.seed);
}

void write_local_moran_section(OutputFile& out, const DataSet& data, const LocalMoranSetup& setup,
                               const LocalMoranResults& results, const std::string& values_file) {
  out.print("\n\n%s\n%s\n%s%s\n%s", headings::kLocalMoran, local_moran_settings(setup, results).c_str(),
            headings::kLocalValuesFile, values_file.c_str(), headings::local_table_heading().c_str());
  for (int v : setup.variables) {
    int samples = 0, isolated = 0, counts[std::size(kCounted)] = {};
    long long neighbours = 0;
    for (int i = 1; i <= data.n_samples; ++i) {
      const Quadrant quadrant = results.quadrant(v, i);
      if (quadrant == Quadrant::kMissing) continue;
      ++samples;
      neighbours += results.neighbours(v, i);
      if (quadrant == Quadrant::kNoNeighbours) ++isolated;
      for (std::size_t c = 0; c < std::size(kCounted); ++c)
        if (quadrant == kCounted[c]) ++counts[c];
    }
    out.print("\n%s\t%i\t%i\t%f", data.var_names[v].c_str(), samples, isolated,
              static_cast<double>(neighbours) / samples);
    for (int count : counts) out.print("\t%i", count);
  }
}

void write_local_moran_values(OutputFile& out, const DataSet& data, const LocalMoranSetup& setup,
                              const LocalMoranResults& results, const std::string& data_file_name) {
  const char* missing = data.missing_code.c_str();
  out.print("Local Moran's I computed from file \"%s\" with first line text: %s", data_file_name.c_str(),
            data.title_line.c_str());
  out.print("%s\n%i\t%zu\t0\t%s\n%s\tX\tY", local_moran_settings(setup, results).c_str(), data.n_samples,
            setup.variables.size(), missing, headings::kSampleColumn);
  for (int v : setup.variables)
    for (const char* suffix : headings::kLocalColumnSuffixes) out.print("\t%s%s", data.var_names[v].c_str(), suffix);
  auto number_or_missing = [&](double value, bool applies) {
    if (applies)
      out.print("\t%f", value);
    else
      out.print("\t%s", missing);
  };
  for (int i = 1; i <= data.n_samples; ++i) {
    out.print("\n%s\t%f\t%f", data.sample_names[i].c_str(), data.x[i], data.y[i]);
    for (int v : setup.variables) {
      const Quadrant quadrant = results.quadrant(v, i);
      if (quadrant == Quadrant::kMissing) {
        for (std::size_t column = 0; column < std::size(headings::kLocalColumnSuffixes); ++column)
          out.print("\t%s", missing);
        continue;
      }
      const bool tested = results.tested(v, i);
      // A constant variable's I_i is 0/0: the missing-data word, as for any value that is none.
      number_or_missing(results.moran(v, i), !std::isnan(results.moran(v, i)));
      number_or_missing(results.lag(v, i), quadrant != Quadrant::kNoNeighbours);
      number_or_missing(results.test(v, i).p_two_sided, tested);
      number_or_missing(results.p_adjusted(v, i), tested);
      out.print("\t%s", quadrant_name(quadrant));
    }
  }
  out.print("\n");
}

}  // namespace kalveno
