#include "app/run_digests.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <string>
#include <type_traits>
#include <vector>

#include "app/analyses.h"
#include "app/command_line.h"
#include "app/results_file.h"
#include "data/data_set.h"

namespace kalveno {

namespace {

// A 64-bit digest of a stream of bytes, eight at a time, each word mixed in
// as MurmurHash3's 64-bit body mixes its blocks: a change anywhere, two sign
// bits flipped together included, changes the digest but for odds of about
// 2^-64. Every text and array is preceded by its length, so that the
// boundaries between them count.
class Digest {
 public:
  void add_bytes(const void* data, std::size_t size) {
    add_word(size);
    const unsigned char* bytes = static_cast<const unsigned char*>(data);
    for (; size >= 8; size -= 8, bytes += 8) {
      std::uint64_t word;
      std::memcpy(&word, bytes, 8);
      add_word(word);
    }
    std::uint64_t tail = 0;
    std::memcpy(&tail, bytes, size);
    add_word(tail);
  }
  void add_word(std::uint64_t word) {
    word *= 0x87c37b91114253d5ULL;
    word = std::rotl(word, 31) * 0x4cf5ad432745937fULL;
    state_ = (std::rotl(state_ ^ word, 27) * 5) + 0x52dce729;
  }
  void add(const std::string& text) { add_bytes(text.data(), text.size()); }
  template <typename T>
  void add(const RangedVector<T>& vector) {
    add_word(static_cast<std::uint64_t>(vector.hi() - vector.lo() + 1));
    for (int i = vector.lo(); i <= vector.hi(); ++i) add_item(vector[i]);
  }
  template <typename T>
  void add(const RangedMatrix<T>& matrix) {
    add_word(static_cast<std::uint64_t>(matrix.row_hi() - matrix.row_lo() + 1));
    const std::size_t row_items = static_cast<std::size_t>(std::max(0, matrix.col_hi() - matrix.col_lo() + 1));
    for (int r = matrix.row_lo(); r <= matrix.row_hi(); ++r) add_bytes(matrix.row(r), row_items * sizeof(T));
  }

  // The end of MurmurHash3's finalisation: every bit of the state reaches
  // every bit of the digest.
  std::uint64_t value() const {
    std::uint64_t h = state_;
    h = (h ^ (h >> 33)) * 0xff51afd7ed558ccdULL;
    h = (h ^ (h >> 33)) * 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
  }

 private:
  void add_item(const std::string& text) { add(text); }
  void add_item(const std::vector<std::string>& texts) {
    add_word(texts.size());
    for (const std::string& text : texts) add(text);
  }
  // A number, or a structure of doubles only (SpherePoint), which has no
  // padding whose bytes could differ between processes.
  template <typename T>
  void add_item(const T& plain) {
    static_assert(std::is_arithmetic_v<T> || (std::is_trivially_copyable_v<T> && sizeof(T) % sizeof(double) == 0));
    add_bytes(&plain, sizeof(T));
  }

  std::uint64_t state_ = 0x6b616c76656e6f31ULL;  // any start, the same in every process
};

// The options whose values name files: the table, and the files of the analyses.
bool names_a_file(const OptionSpec& spec) {
  if (&spec == &kTableOption) return true;
  for (const Analysis& analysis : analyses())
    for (const OutputFileKind* kind : analysis.files)
      if (kind->option == &spec) return true;
  return false;
}

}  // namespace

std::uint64_t options_digest(const CommandLine& line) {
  std::vector<std::string> options;
  for (const GivenOption& option : line.given) {
    if (option.spec == &kQuietOption || option.spec == &kThreadsOption) continue;
    options.push_back(option.spec->long_form() + (names_a_file(*option.spec) ? "" : "=" + option.value));
  }
  // The order of the names; the repeats of one option keep theirs.
  std::stable_sort(options.begin(), options.end(), [](const std::string& a, const std::string& b) {
    return a.substr(0, a.find('=')) < b.substr(0, b.find('='));
  });
  Digest digest;
  digest.add_word(options.size());
  for (const std::string& option : options) digest.add(option);
  return digest.value();
}

std::uint64_t data_digest(const DataSet& data) {
  Digest digest;
  digest.add(data.title_line);
  for (int count : {data.n_samples, data.n_grids, data.n_variables, data.classes.n_classes, data.max_grid_x,
                    data.max_grid_y, static_cast<int>(data.distance_kind)})
    digest.add_word(static_cast<std::uint64_t>(static_cast<std::uint32_t>(count)));
  digest.add(data.missing_code);
  digest.add(data.classes.class_max);
  digest.add(data.var_names);
  digest.add(data.var_kind);
  digest.add(data.state_names);
  digest.add(data.sample_names);
  digest.add(data.x);
  digest.add(data.y);
  digest.add(data.x_name);
  digest.add(data.y_name);
  digest.add(data.sphere);
  digest.add(data.sample_grid);
  digest.add(data.values);
  return digest.value();
}

}  // namespace kalveno
