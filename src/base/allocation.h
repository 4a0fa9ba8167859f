// The allocators that make every array of the program. An allocator never
// returns without its array: when the block cannot be had it throws an
// AllocationFailure carrying its message, which the top of the program logs
// to error.txt before ending the run (status 1). The messages are those
// users find in error.txt.
#pragma once
#include <cstddef>
#include <cstdint>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/ranged_array.h"

namespace kalveno {

// What error.txt says when an array cannot be had, by the kind of array:
// the words users have long found there, each named once.
namespace allocation_message {
inline constexpr char kIntVector[] = "\nallocation failure in ivector()";   // ints, bytes, counts
inline constexpr char kFloatVector[] = "\nallocation failure in vector()";  // floats
inline constexpr char kDoubleVector[] = "\nallocation failure in dvector()";
inline constexpr char kList[] = "\nallocation failure 1 in matrix()";  // texts, arrays of arrays
inline constexpr char kIntMatrix[] = "\nallocation failure 2 in imatrix()";
inline constexpr char kMatrix[] = "\nallocation failure 2 in matrix()";
inline constexpr char kCube[] = "\nallocation failure 3 in f3tensor()";
inline constexpr char kTextCells[] = "\nallocation failure 3 in c3tensor()";  // the cells of the data file
inline constexpr char kSummaryMatrix[] = "\nallocation failure 2 in resample_stat_type_matrix()";
inline constexpr char kPairTable[] = "\nallocation failure in the pair table";
inline constexpr char kPairBatches[] = "\nallocation failure in the pair batches";
inline constexpr char kDistanceClasses[] = "\nallocation failure in the distance classes";
}  // namespace allocation_message

// A block that could not be had; message names the allocator, and note,
// when known, says in plain words what was too large and what to reduce.
struct AllocationFailure {
  std::string message;
  std::string note;
};

// Runs make() and returns what it returns; an AllocationFailure escaping it
// gets note, unless a call inside already gave it one.
template <class Make>
decltype(auto) noting_allocation_failure(const std::string& note, Make&& make) {
  try {
    return make();
  } catch (AllocationFailure& failure) {
    if (failure.note.empty()) failure.note = note;
    throw;
  }
}

// What a std::bad_alloc from outside the allocators (a std::vector or a
// std::string that grows, say) is: the allocation failure of operator new,
// which the top of each program ends with as it ends with the others.
AllocationFailure operator_new_failure();

// The memory the machine can give without swapping: MemAvailable of
// /proc/meminfo where the system reports it, else the physical memory.
std::size_t available_memory();

// Element count of the inclusive range [lo..hi]; false when hi < lo - 1.
bool range_extent(int lo, int hi, std::size_t& extent);
// Element count of a product of extents; false when it overflows.
bool product_extent(std::size_t a, std::size_t b, std::size_t& product);

// Makes arrays within a memory budget: the largest block, in bytes, it will
// request. The program's budget is the memory the machine had available
// when the run started, so that an absurd request fails at once with its
// message instead of driving the machine into swap; tests and fuzzing lower
// it. Without a budget, only what the system refuses fails.
class Allocator {
 public:
  Allocator() = default;
  explicit Allocator(std::size_t budget) : budget_(budget) {}

  std::size_t budget() const { return budget_; }

  // Signed 32-bit ints: permutations, grid sizes, pair counts.
  RangedVector<int> int_vector(int lo, int hi) const { return vector_of<int>(lo, hi, allocation_message::kIntVector); }
  // Single-precision floats: the replicate values of one statistic.
  RangedVector<float> float_vector(int lo, int hi) const {
    return vector_of<float>(lo, hi, allocation_message::kFloatVector);
  }
  // Doubles: coordinates, per-variable and per-class work vectors.
  RangedVector<double> double_vector(int lo, int hi) const {
    return vector_of<double>(lo, hi, allocation_message::kDoubleVector);
  }
  // Texts (names, words) of any length, one per index.
  RangedVector<std::string> text_vector(int lo, int hi) const {
    return vector_of<std::string>(lo, hi, allocation_message::kList);
  }
  RangedMatrix<int> int_matrix(int row_lo, int row_hi, int col_lo, int col_hi) const {
    return matrix_of<int>(row_lo, row_hi, col_lo, col_hi, allocation_message::kIntMatrix);
  }
  RangedMatrix<double> double_matrix(int row_lo, int row_hi, int col_lo, int col_hi) const {
    return matrix_of<double>(row_lo, row_hi, col_lo, col_hi, allocation_message::kMatrix);
  }
  // Floats and ints in three indices: stored replicate values, grid cells.
  RangedCube<float> float_cube(int a_lo, int a_hi, int b_lo, int b_hi, int c_lo, int c_hi) const {
    return cube_of<float>(a_lo, a_hi, b_lo, b_hi, c_lo, c_hi, allocation_message::kCube);
  }
  RangedCube<int> int_cube(int a_lo, int a_hi, int b_lo, int b_hi, int c_lo, int c_hi) const {
    return cube_of<int>(a_lo, a_hi, b_lo, b_hi, c_lo, c_hi, allocation_message::kCube);
  }

  // Arrays of any element type, zero-filled (T()), failing with message.
  template <class T>
  RangedVector<T> vector_of(int lo, int hi, const char* message) const {
    std::size_t n = 0;
    bool ok = range_extent(lo, hi, n);
    return RangedVector<T>(lo, hi, block<T>(ok, n, message));
  }
  template <class T>
  RangedMatrix<T> matrix_of(int row_lo, int row_hi, int col_lo, int col_hi, const char* message) const {
    std::size_t rows = 0, cols = 0, n = 0;
    bool ok = range_extent(row_lo, row_hi, rows) && range_extent(col_lo, col_hi, cols) &&
              product_extent(rows, cols, n);
    return RangedMatrix<T>(row_lo, row_hi, col_lo, col_hi, block<T>(ok, n, message));
  }
  template <class T>
  RangedCube<T> cube_of(int a_lo, int a_hi, int b_lo, int b_hi, int c_lo, int c_hi, const char* message) const {
    std::size_t a = 0, b = 0, c = 0, ab = 0, n = 0;
    bool ok = range_extent(a_lo, a_hi, a) && range_extent(b_lo, b_hi, b) && range_extent(c_lo, c_hi, c) &&
              product_extent(a, b, ab) && product_extent(ab, c, n);
    return RangedCube<T>(a_lo, a_hi, b_lo, b_hi, c_lo, c_hi, block<T>(ok, n, message));
  }

 private:
  // A block of count elements, or AllocationFailure{message}. extents_ok is
  // false when a range was inverted or the element count overflowed.
  template <class T>
  std::vector<T> block(bool extents_ok, std::size_t count, const char* message) const {
    if (!extents_ok || count > budget_ / sizeof(T)) throw AllocationFailure{message, {}};
    try {
      return std::vector<T>(count);
    } catch (const std::bad_alloc&) {
      throw AllocationFailure{message, {}};
    } catch (const std::length_error&) {
      throw AllocationFailure{message, {}};
    }
  }

  std::size_t budget_ = SIZE_MAX;
};

}  // namespace kalveno
