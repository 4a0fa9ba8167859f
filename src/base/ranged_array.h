// Arrays addressed over inclusive index ranges fixed when they are made, so
// that loops read like the formulas: a vector over [lo..hi], a matrix over
// [rlo..rhi] x [clo..chi], a three-index array over three such ranges. Lower
// bounds may be negative. Storage is one contiguous block, released by the
// destructor; every index is checked in builds with assertions on.
//
// These types never fail to allocate silently: make them through the
// Allocator of base/allocation.h, which reports a block it cannot have.
#pragma once
#include <cassert>
#include <cstddef>
#include <vector>

namespace kalveno {

template <class T>
class RangedVector {
 public:
  RangedVector() = default;  // empty: lo() == 1, hi() == 0
  RangedVector(int lo, int hi, std::vector<T> storage)
      : lo_(lo), hi_(hi), data_(std::move(storage)) {
    assert(data_.size() == static_cast<std::size_t>(hi - lo + 1));
  }

  T& operator[](int i) {
    assert(lo_ <= i && i <= hi_);
    return data_[static_cast<std::size_t>(i - lo_)];
  }
  const T& operator[](int i) const {
    assert(lo_ <= i && i <= hi_);
    return data_[static_cast<std::size_t>(i - lo_)];
  }

  int lo() const { return lo_; }
  int hi() const { return hi_; }
  bool empty() const { return data_.empty(); }
  // The element at index lo(); the block runs contiguously up to hi().
  T* data() { return data_.data(); }
  const T* data() const { return data_.data(); }
  void fill(const T& value) { data_.assign(data_.size(), value); }

 private:
  int lo_ = 1, hi_ = 0;
  std::vector<T> data_;
};

template <class T>
class RangedMatrix {
 public:
  RangedMatrix() = default;
  RangedMatrix(int rlo, int rhi, int clo, int chi, std::vector<T> storage)
      : rlo_(rlo), rhi_(rhi), clo_(clo), chi_(chi),
        ncol_(static_cast<std::size_t>(chi - clo + 1)), data_(std::move(storage)) {
    assert(data_.size() == static_cast<std::size_t>(rhi - rlo + 1) * ncol_);
  }

  T& operator()(int r, int c) { return data_[offset(r, c)]; }
  const T& operator()(int r, int c) const { return data_[offset(r, c)]; }

  // The element (r, col_lo()); the row runs contiguously up to col_hi().
  T* row(int r) { return data_.data() + offset(r, clo_); }
  const T* row(int r) const { return data_.data() + offset(r, clo_); }

  int row_lo() const { return rlo_; }
  int row_hi() const { return rhi_; }
  int col_lo() const { return clo_; }
  int col_hi() const { return chi_; }
  void fill(const T& value) { data_.assign(data_.size(), value); }

 private:
  std::size_t offset(int r, int c) const {
    assert(rlo_ <= r && r <= rhi_ && clo_ <= c && c <= chi_);
    return static_cast<std::size_t>(r - rlo_) * ncol_ + static_cast<std::size_t>(c - clo_);
  }

  int rlo_ = 1, rhi_ = 0, clo_ = 1, chi_ = 0;
  std::size_t ncol_ = 0;
  std::vector<T> data_;
};

template <class T>
class RangedCube {
 public:
  RangedCube() = default;
  RangedCube(int alo, int ahi, int blo, int bhi, int clo, int chi, std::vector<T> storage)
      : alo_(alo), ahi_(ahi), blo_(blo), bhi_(bhi), clo_(clo), chi_(chi),
        nb_(static_cast<std::size_t>(bhi - blo + 1)),
        nc_(static_cast<std::size_t>(chi - clo + 1)), data_(std::move(storage)) {
    assert(data_.size() == static_cast<std::size_t>(ahi - alo + 1) * nb_ * nc_);
  }

  T& operator()(int a, int b, int c) { return data_[offset(a, b, c)]; }
  const T& operator()(int a, int b, int c) const { return data_[offset(a, b, c)]; }

  // The element (a, b, third_lo()); the row runs contiguously up to third_hi().
  T* row(int a, int b) { return data_.data() + offset(a, b, clo_); }
  const T* row(int a, int b) const { return data_.data() + offset(a, b, clo_); }

  int first_lo() const { return alo_; }
  int first_hi() const { return ahi_; }
  int second_lo() const { return blo_; }
  int second_hi() const { return bhi_; }
  int third_lo() const { return clo_; }
  int third_hi() const { return chi_; }

 private:
  std::size_t offset(int a, int b, int c) const {
    assert(alo_ <= a && a <= ahi_ && blo_ <= b && b <= bhi_ && clo_ <= c && c <= chi_);
    return (static_cast<std::size_t>(a - alo_) * nb_ + static_cast<std::size_t>(b - blo_)) * nc_ +
           static_cast<std::size_t>(c - clo_);
  }

  int alo_ = 1, ahi_ = 0, blo_ = 1, bhi_ = 0, clo_ = 1, chi_ = 0;
  std::size_t nb_ = 0, nc_ = 0;
  std::vector<T> data_;
};

}  // namespace kalveno
