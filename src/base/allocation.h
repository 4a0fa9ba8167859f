// The allocators that make every array of the program, and the error log.
// An allocator never returns without its array: when the block cannot be had
// it prints its message, appends it to error.txt and ends the run (status 1).
// The names and messages are those users find in error.txt.
#pragma once
#include <cstddef>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ranged_array.h"

namespace kalveno {

// Prints message, then appends it to file_name in the working directory.
// When that file cannot be written, says so, waits for a key and ends the run
// with status 3.
void log_failure(const char* file_name, const std::string& message);

// Logs message to error.txt and ends the run with status 1.
[[noreturn]] void allocation_failure(const char* message);

// The largest block, in bytes, that an allocator will request: the memory
// the machine had available when the run started, so that an absurd request
// fails at once with its message instead of driving the machine into swap.
// Tests and fuzzing lower it.
std::size_t memory_budget();
void set_memory_budget(std::size_t bytes);

// Makes a block of count elements initialised to T(), or ends the run with
// message. extents_ok is false when a range was inverted or the element count
// overflowed.
template <class T>
std::vector<T> allocate_block(bool extents_ok, std::size_t count, const char* message) {
  if (!extents_ok || count > memory_budget() / sizeof(T)) allocation_failure(message);
  try {
    return std::vector<T>(count);
  } catch (const std::bad_alloc&) {
    allocation_failure(message);
  } catch (const std::length_error&) {
    allocation_failure(message);
  }
}

// Element count of the inclusive range [lo..hi]; false when hi < lo - 1.
bool range_extent(int lo, int hi, std::size_t& extent);
// Element count of a product of extents; false when it overflows.
bool product_extent(std::size_t a, std::size_t b, std::size_t& product);

template <class T>
RangedVector<T> make_vector(int nl, int nh, const char* message) {
  std::size_t n = 0;
  bool ok = range_extent(nl, nh, n);
  return RangedVector<T>(nl, nh, allocate_block<T>(ok, n, message));
}

template <class T>
RangedMatrix<T> make_matrix(int nrl, int nrh, int ncl, int nch, const char* message) {
  std::size_t rows = 0, cols = 0, n = 0;
  bool ok = range_extent(nrl, nrh, rows) && range_extent(ncl, nch, cols) && product_extent(rows, cols, n);
  return RangedMatrix<T>(nrl, nrh, ncl, nch, allocate_block<T>(ok, n, message));
}

template <class T>
RangedCube<T> make_cube(int nrl, int nrh, int ncl, int nch, int ndl, int ndh, const char* message) {
  std::size_t a = 0, b = 0, c = 0, ab = 0, n = 0;
  bool ok = range_extent(nrl, nrh, a) && range_extent(ncl, nch, b) && range_extent(ndl, ndh, c) &&
            product_extent(a, b, ab) && product_extent(ab, c, n);
  return RangedCube<T>(nrl, nrh, ncl, nch, ndl, ndh, allocate_block<T>(ok, n, message));
}

// Signed 32-bit ints: permutations, grid sizes, pair counts.
inline RangedVector<int> ivector(int nl, int nh) {
  return make_vector<int>(nl, nh, "\nallocation failure in ivector()");
}
// Single-precision floats: the replicate values of one statistic.
inline RangedVector<float> vector(int nl, int nh) {
  return make_vector<float>(nl, nh, "\nallocation failure in vector()");
}
// Doubles: coordinates, per-variable and per-class work vectors.
inline RangedVector<double> dvector(int nl, int nh) {
  return make_vector<double>(nl, nh, "\nallocation failure in dvector()");
}
// Texts (names, words) of any length, one per index.
inline RangedVector<std::string> name_table(int nl, int nh) {
  return make_vector<std::string>(nl, nh, "\nallocation failure 1 in matrix()");
}
inline RangedMatrix<int> imatrix(int nrl, int nrh, int ncl, int nch) {
  return make_matrix<int>(nrl, nrh, ncl, nch, "\nallocation failure 2 in imatrix()");
}
inline RangedMatrix<double> matrix(int nrl, int nrh, int ncl, int nch) {
  return make_matrix<double>(nrl, nrh, ncl, nch, "\nallocation failure 2 in matrix()");
}
// Four-byte elements (float or int): grid cells, stored replicate values.
template <class T = float>
RangedCube<T> f3tensor(int nrl, int nrh, int ncl, int nch, int ndl, int ndh) {
  static_assert(sizeof(T) == 4, "f3tensor holds four-byte elements");
  return make_cube<T>(nrl, nrh, ncl, nch, ndl, ndh, "\nallocation failure 3 in f3tensor()");
}

}  // namespace kalveno
