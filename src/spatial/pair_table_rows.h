// The rows of the pair table: (N + 1) rows of N + 1 entries in one block of
// memory mapped for the table alone. The block is not filled on allocation
// (the table writes every entry it reads), and a large one asks the system
// for huge pages: a table of gigabytes then takes far fewer page faults to
// fill and far fewer address-translation misses to read at random positions.
#pragma once
#include <cstddef>

#include "base/allocation.h"

namespace kalveno {

class PairTableBlock {
 public:
  PairTableBlock() = default;
  // bytes of memory, or AllocationFailure{message} when the allocator's
  // budget or the system refuses them.
  PairTableBlock(const Allocator& allocator, std::size_t bytes, const char* message);
  PairTableBlock(PairTableBlock&& other) noexcept;
  PairTableBlock& operator=(PairTableBlock&& other) noexcept;
  PairTableBlock(const PairTableBlock&) = delete;
  PairTableBlock& operator=(const PairTableBlock&) = delete;
  ~PairTableBlock();

  void* data() const { return data_; }

 private:
  void* mapping_ = nullptr;
  std::size_t mapped_bytes_ = 0;
  void* data_ = nullptr;
};

// Rows 0..n of entries 0..n of T.
template <class T>
class PairTableRows {
 public:
  PairTableRows() = default;
  PairTableRows(const Allocator& allocator, int n, const char* message)
      : side_(static_cast<std::size_t>(n) + 1), block_(allocator, side_ * side_ * sizeof(T), message) {}

  T* row(int a) { return static_cast<T*>(block_.data()) + static_cast<std::size_t>(a) * side_; }
  const T* row(int a) const { return static_cast<const T*>(block_.data()) + static_cast<std::size_t>(a) * side_; }
  T& operator()(int a, int b) { return row(a)[b]; }
  const T& operator()(int a, int b) const { return row(a)[b]; }

 private:
  std::size_t side_ = 0;
  PairTableBlock block_;
};

}  // namespace kalveno
