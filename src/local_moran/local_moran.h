// Local Moran's I: for each quantitative variable and each sample that has
// it, how the sample's value and those of its neighbours within a radius go
// together, and whether that is more than chance arrangement would give.
//
// With z the deviations of a variable from its mean over the n samples that
// have it and m2 = sum(z^2) / n, sample i with the k_i neighbours j that have
// the variable gets
//   I_i = (z_i / m2) * sum_j z_j   (binary weights; 0 without neighbours)
//   lag_i = sum_j z_j / k_i        (the neighbours' mean deviation)
// The conditional randomization test keeps z_i at sample i and draws its k_i
// neighbours' values R times, without replacement, from the other n - 1
// values. Its P values are adjusted over the samples of each variable (the
// family of a local test is the whole map) by Benjamini and Hochberg's
// method, and each sample is put in the quadrant of its value and its lag.
#pragma once
#include <cstdint>
#include <vector>

#include "base/allocation.h"
#include "data/data_set.h"
#include "local_moran/neighbours.h"
#include "numeric/resample_summary.h"
#include "randomization/process_group.h"

namespace kalveno {

class Console;

enum class Quadrant : unsigned char {
  kMissing,          // the sample lacks the variable
  kNoNeighbours,     // no neighbour within the radius has the variable
  kNotSignificant,   // tested, adjusted P above 0.05
  kHighHigh,         // value at or above the mean, neighbours' mean deviation too
  kLowLow,           // both below
  kHighLow,          // value at or above, neighbours below
  kLowHigh,          // value below, neighbours at or above
};

// The word of a quadrant in the files: "high-high", "not significant", ...;
// empty for a sample that lacks the variable.
const char* quadrant_name(Quadrant quadrant);

// The adjusted P at or below which a tested sample is put in its quadrant.
inline constexpr float kLocalSignificance = 0.05f;

// What the observed values and the test share: the neighbour lists and the
// analysed variables (the quantitative ones that some sample has) with each
// sample's deviation from their means.
struct LocalMoranSetup {
  double radius = 0;
  // With great-circle distances, the radius (in km) as degrees of latitude,
  // the unit of a map of the samples' longitudes and latitudes; else 0.
  double radius_degrees = 0;
  NeighbourLists neighbours;
  std::vector<int> variables;  // q = 0..m-1 -> the variable's number, in file order
  // z(i, q) over [1..N][0..m-1]: the deviation of sample i from the mean of
  // variable q over the samples that have it; 0 where i lacks it.
  RangedMatrix<double> z;
  RangedMatrix<unsigned char> has;  // (i, q): 1 where sample i has variable q
  std::vector<double> m2;           // per variable: sum(z^2) / n

  int n_variables() const { return static_cast<int>(variables.size()); }
};

// The setup of data within radius, the neighbours found on up to n_workers
// threads.
LocalMoranSetup local_moran_setup(const Allocator& allocator, const DataSet& data, double radius, int n_workers);

struct LocalMoranResults {
  int n_rep = 0;          // randomizations per sample; 0: untested
  std::int32_t seed = 0;  // the run's seed, which fixes each sample's draws
  // Indexed (variable, sample) over [1..V][1..N]; rows of variables that
  // are not analysed are left as made.
  RangedMatrix<double> moran;          // I_i; MISSING_VALUE where the sample lacks the variable
  RangedMatrix<double> lag;            // MISSING_VALUE also without neighbours
  RangedMatrix<int> neighbours;        // k_i
  RangedMatrix<ResampleSummary> test;  // of tested samples (n_rep > 0), else zero
  RangedMatrix<float> p_adjusted;      // NaN where untested
  RangedMatrix<Quadrant> quadrant;

  bool tested(int v, int i) const { return test(v, i).n_rep > 0; }
};

// I_i and the lag of every sample and analysed variable, their quadrants by
// sign alone, on up to n_workers threads.
LocalMoranResults local_moran_observed(const Allocator& allocator, const DataSet& data, const LocalMoranSetup& setup,
                                       int n_workers);

// The conditional randomization test of samples first..last with n_rep
// draws each, from the streams of seed (one per sample). One draw serves
// every variable: each replicate runs through the other samples in a random
// order, and each variable takes the first k_i of them that have it, which
// are k_i drawn without replacement from the samples that have it. Samples
// whose I_i is not a finite number are not tested. A sample's results
// depend on its own stream, its variable and the samples that have it only,
// so any split of the samples among calls, threads or processes gives the
// same bits.
void test_local_moran(const Allocator& allocator, const LocalMoranSetup& setup, int n_rep, std::int32_t seed,
                      int first, int last, int n_workers, LocalMoranResults& results);

// The whole test: this process's share of the samples of group in batches,
// with progress marks after each (the rule of the replicate loops, counted
// in samples); then, on the first process, once group has gathered the
// tests of every sample, the classification. When the user interrupts the
// run (Ctrl+C while a CatchInterruption is in place), in this process or in
// another of group, no further batch starts and ReplicatesInterrupted says
// how many samples were done, in every process together.
void run_local_moran_test(Console& console, ProcessGroup& group, const Allocator& allocator, const DataSet& data,
                          const LocalMoranSetup& setup, int n_rep, std::int32_t seed, int n_workers,
                          LocalMoranResults& results);

// The Benjamini-Hochberg adjusted two-sided P of every tested sample, over
// the tested samples of each variable, and the quadrants: a tested sample
// keeps the quadrant of its signs when its adjusted P is at most 0.05 and
// is otherwise not significant; untested runs keep every quadrant by sign.
void classify_local_moran(const LocalMoranSetup& setup, LocalMoranResults& results);

}  // namespace kalveno
