// The words of every file that kalveno writes and kalveno-plot reads back:
// the headings, row labels and codes of the results file, and the columns
// and quadrant words of the file of local Moran's I per sample. The writers
// print them and the readers look for them, both from here, so that the two
// cannot drift apart.
#pragma once
#include <string>
#include <string_view>

namespace kalveno::headings {

// The first line of each program run: "KALVENO 1.0 - Written by Bremwick".
// A reader knows it by the program's name, a blank and kBannerAuthor, which
// holds whatever the version that wrote the file.
std::string run_banner();
inline constexpr char kBannerAuthor[] = " - Written by ";
bool is_run_banner(std::string_view line);

// The header block of each program run, and its basic statistics.
inline constexpr char kDataFile[] = "Data file: ";
inline constexpr char kSampleCount[] = "# samples: ";
inline constexpr char kVariableCount[] = "# variables: ";
inline constexpr char kQualitativeStatistics[] = "BASIC STATISTICS for QUALITATIVE variables";
inline constexpr char kStateCountColumn[] = "Nstates";

// The observed section of a spatial autocorrelation analysis.
inline constexpr char kSpatialAnalysis[] = "SPATIAL AUTOCORRELATION ANALYSIS";
inline constexpr char kPairsConsidered[] = "Sample pairs considered: ";
inline constexpr char kClassBounds[] = "Max dist of class:";
inline constexpr char kClassPairs[] = "Number of pairs in class:";
inline constexpr char kClassMeanDistance[] = "Mean dist of class:";
inline constexpr char kMoranTable[] = "Variable\tMoran's I:";

// Its test sections, each heading followed by the replicate count.
inline constexpr char kCompleteTest[] = "Tests of spatial autocorrelation using COMPLETE randomization (";
inline constexpr char kToroidalTest[] =
    "Tests of maintenance of spatial autocorrelation using TOROIDAL randomization (";
inline constexpr char kCoding[] = "Coding: ";
inline constexpr char kTestDetails[] = "Details of spatial autocorrelation tests for ";
// After the randomization's name: in a details heading, then " (" and the
// replicate count; in a correction heading, then " test (" and the count.
inline constexpr char kRandomizationWord[] = " randomization";
// The first two cells of the details table's header row.
inline constexpr char kDetailsColumns[] = "Variable\tclass";
inline constexpr char kObservedRow[] = "obs val";
inline constexpr char kMeanRow[] = "mean rand val";
inline constexpr char kUpperBoundRow[] = "95% sup";
inline constexpr char kLowerBoundRow[] = "95% inf";
// The significance codes after a coded value, by level: none, P <= 0.05,
// 0.01 and 0.001.
inline constexpr const char* kSignificanceCodes[] = {"", " *", " **", " ***"};

// The correction across the classes of each correlogram, after a test
// section: its heading, then one row per variable with the whole
// correlogram's P and each class's adjusted P, coded.
inline constexpr char kCorrection[] = "Correction across the distance classes of each correlogram (";
inline constexpr char kCorrectedTest[] = ") for the ";
inline constexpr char kCorrectionTable[] = "Variable\tCorrelogram P\tAdjusted P of each class:";
// The analytical tests of Moran's I.
inline constexpr char kAnalyticalTests[] = "Analytical tests of Moran's I";

// The local Moran's I section: its heading, the line of its settings (which
// the file of values per sample repeats as its second line), the name of
// that file, and the table of quadrant counts.
inline constexpr char kLocalMoran[] = "LOCAL MORAN'S I";
inline constexpr char kLocalSettings[] = "Settings: ";
inline constexpr char kLocalWithin[] = "neighbours within distance ";
// After the radius, with great-circle distances: then the radius as degrees
// of latitude follows.
inline constexpr char kLocalGreatCircle[] = " km (great-circle, ";
inline constexpr char kLocalRandomizations[] = " conditional randomizations of each sample";
inline constexpr char kLocalValuesFile[] = "Values per sample written to file: ";
// The header row of the table: the counts per variable, then a count for
// each word of kCountedQuadrants.
std::string local_table_heading();
inline constexpr char kLocalTableCounts[] = "Variable\tsamples\twithout neighbours\tmean neighbours";

// The file of values per sample: a first line of its own, the settings
// line, the counts line (samples, variables, 0, the missing-data word), then
// the header row: kSampleColumn, X, Y, and for each variable its name
// followed by each suffix of kLocalColumnSuffixes in turn, one column each.
inline constexpr char kSampleColumn[] = "Sample";
inline constexpr const char* kLocalColumnSuffixes[] = {"_Ii", "_lag", "_P", "_P_adjusted", "_quadrant"};
// The words of the quadrant column; a sample that lacks the variable has
// the missing-data word there.
inline constexpr char kHighHigh[] = "high-high";
inline constexpr char kLowLow[] = "low-low";
inline constexpr char kHighLow[] = "high-low";
inline constexpr char kLowHigh[] = "low-high";
inline constexpr char kNotSignificant[] = "not significant";
inline constexpr char kNoNeighbours[] = "no neighbours";
// The quadrants counted in the section's table, in its column order.
inline constexpr const char* kCountedQuadrants[] = {kHighHigh, kLowLow, kHighLow, kLowHigh, kNotSignificant};

// The names of the two randomizations, in test headings and details.
inline constexpr char kComplete[] = "COMPLETE";
inline constexpr char kToroidal[] = "WITHIN GROUP TOROIDAL";

}  // namespace kalveno::headings
