// The headings and row labels of the results file that kalveno-plot reads
// back. The report writers print them and the reader looks for them, both
// from here, so that the two cannot drift apart.
#pragma once

namespace kalveno::headings {

// The header block of each program run, and its basic statistics.
inline constexpr char kDataFile[] = "Data file: ";
inline constexpr char kSampleCount[] = "# samples: ";
inline constexpr char kVariableCount[] = "# variables: ";
inline constexpr char kQualitativeStatistics[] = "BASIC STATISTICS for QUALITATIVE variables";

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
inline constexpr char kObservedRow[] = "obs val";
inline constexpr char kMeanRow[] = "mean rand val";
inline constexpr char kUpperBoundRow[] = "95% sup";
inline constexpr char kLowerBoundRow[] = "95% inf";

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
inline constexpr char kLocalTable[] =
    "Variable\tsamples\twithout neighbours\tmean neighbours\thigh-high\tlow-low\thigh-low\tlow-high\tnot significant";

// The names of the two randomizations, in test headings and details.
inline constexpr char kComplete[] = "COMPLETE";
inline constexpr char kToroidal[] = "WITHIN GROUP TOROIDAL";

}  // namespace kalveno::headings
