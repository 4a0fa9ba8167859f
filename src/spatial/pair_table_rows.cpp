#include "spatial/pair_table_rows.h"

#include <sys/mman.h>

#include <cstdint>
#include <utility>

namespace kalveno {

namespace {

constexpr std::size_t kHugePage = std::size_t{2} << 20;
constexpr std::size_t kSmallest = 8 * kHugePage;  // the smallest table on huge pages

}  // namespace

PairTableBlock::PairTableBlock(const Allocator& allocator, std::size_t bytes, const char* message) {
  if (bytes > allocator.budget() || bytes > SIZE_MAX - kHugePage) throw AllocationFailure{message, {}};
  // A table of a few huge pages keeps ordinary ones. A larger one gets one
  // huge page more than it asks for, so that it can start on a huge-page
  // boundary.
  const bool huge = bytes >= kSmallest;
  mapped_bytes_ = huge ? bytes + kHugePage : bytes;
  void* mapping = mmap(nullptr, mapped_bytes_, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0);
  if (mapping == MAP_FAILED) throw AllocationFailure{message, {}};
  mapping_ = mapping;
  data_ = mapping;
  if (!huge) return;
  const std::uintptr_t start = reinterpret_cast<std::uintptr_t>(mapping);
  data_ = static_cast<char*>(mapping) + (kHugePage - start % kHugePage) % kHugePage;
  madvise(data_, bytes, MADV_HUGEPAGE);  // a request: without huge pages the table works the same
}

PairTableBlock::PairTableBlock(PairTableBlock&& other) noexcept
    : mapping_(std::exchange(other.mapping_, nullptr)),
      mapped_bytes_(std::exchange(other.mapped_bytes_, 0)),
      data_(std::exchange(other.data_, nullptr)) {}

PairTableBlock& PairTableBlock::operator=(PairTableBlock&& other) noexcept {
  if (this != &other) {
    if (mapping_ != nullptr) munmap(mapping_, mapped_bytes_);
    mapping_ = std::exchange(other.mapping_, nullptr);
    mapped_bytes_ = std::exchange(other.mapped_bytes_, 0);
    data_ = std::exchange(other.data_, nullptr);
  }
  return *this;
}

PairTableBlock::~PairTableBlock() {
  if (mapping_ != nullptr) munmap(mapping_, mapped_bytes_);
}

}  // namespace kalveno
